#include "SelfTest.h"

namespace kalo {

void RunSelfTest(CPrinterPort& port, platform::Clock& clock)
{
    static const uint8_t kExecuteTestPrint[] = {0x1D, 0x28, 0x41, 0x02, 0x00, 0x01, 0x02};
    port.Write(kExecuteTestPrint, sizeof kExecuteTestPrint);
    clock.SleepMs(4300);
}

} // namespace kalo
