#include "SelfTest.h"

#include "port/PrinterCommands.h"
#include "port/WriteReport.h"

namespace kalo {

bool RunSelfTest(CPrinterPort& port, platform::Clock& clock)
{
    cmd::Send(port, cmd::kExecuteTestPrint);
    clock.SleepMs(4300);
    return WentOutWhole(port);
}

} // namespace kalo
