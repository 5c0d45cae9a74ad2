#include "IdleDrain.h"

#include <cstring>

namespace kalo {

void IdleDrain(CPrinterPort& port, platform::Clock& clock, uint8_t* buffer, size_t size)
{
    if (port.ReplyPaced()) {
        port.DrainReplies(5 * 50);
        std::memset(buffer, 0, size);
        return;
    }
    int zeros = 0;
    for (int reads = 0; reads < kMaxIdleDrainReads && zeros < 5; ++reads) {
        clock.SleepMs(50);
        std::memset(buffer, 0, size);
        port.Read(buffer, 1);
        zeros = buffer[0] == 0 ? zeros + 1 : 0;
    }
}

} // namespace kalo
