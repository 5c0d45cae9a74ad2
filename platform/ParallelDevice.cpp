#include "ParallelDevice.h"

namespace kalo::platform {

std::string ParallelStatusText(uint8_t status)
{
    struct Fault {
        bool present;
        const char* text;
    };
    const Fault faults[] = {
        {!(status & kLptNotBusy), "busy"},
        {(status & kLptPaperOut) != 0, "out of paper"},
        {!(status & kLptSelected), "not selected (off line)"},
        {!(status & kLptNoError), "reporting a fault"},
    };
    std::string text;
    for (const Fault& fault : faults) {
        if (!fault.present)
            continue;
        if (!text.empty())
            text += ", ";
        text += fault.text;
    }
    return text;
}

} // namespace kalo::platform
