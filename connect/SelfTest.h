#pragma once

#include "platform/Clock.h"
#include "port/CPrinterPort.h"

namespace kalo {

// Has the printer print its test page (GS ( A) and waits the 4.3 s it takes,
// whatever the write did. False when a write since the port's tally was
// reset went out short or the printer went away.
bool RunSelfTest(CPrinterPort& port, platform::Clock& clock);

} // namespace kalo
