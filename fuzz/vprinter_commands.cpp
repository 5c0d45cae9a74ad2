// The virtual printer's command engine fed any byte stream, in pieces as a
// link delivers it: the input's first byte sets the piece size.
#include "sim/VirtualPrinter.h"

#include <algorithm>

using namespace kalo::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t piece = size_t(data[0] % 16) + 1;
    size_t lines = 0;
    VirtualPrinter printer(PrinterOptions{}, [&lines](const std::string&) { ++lines; });
    std::vector<uint8_t> reply;
    for (size_t at = 1; at < size; at += piece)
        printer.Receive(data + at, std::min(piece, size - at), reply);
    printer.EndOfStream();
    return 0;
}
