#pragma once

#include "platform/Clock.h"
#include "port/CPrinterPort.h"

namespace kalo {

// Has the printer print its test page (GS ( A) and waits the 4.3 s it takes.
// The write's outcome is not looked at.
void RunSelfTest(CPrinterPort& port, platform::Clock& clock);

} // namespace kalo
