#pragma once

#include "CPrinterPort.h"
#include "platform/Clock.h"

namespace kalo {

// Reads single bytes 50 ms apart until five in a row come back empty (a 0x00
// counts as empty), so whatever the printer still had to say is gone before
// the next command. A printer that never stops sending ends it after
// kMaxIdleDrainReads reads. The buffer is cleared before each read. Under
// the reply pace it is one drain that ends once the line is quiet, never
// later than the shortest drain above (five reads, 250 ms).
inline constexpr int kMaxIdleDrainReads = 100;
void IdleDrain(CPrinterPort& port, platform::Clock& clock, uint8_t* buffer, size_t size);

} // namespace kalo
