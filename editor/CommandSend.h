#pragma once

#include "port/CPrinterPort.h"

#include <string_view>

namespace kalo {

// Write Command: the bytes of the text in one write, with no wait and no
// read. A text without a pair writes nothing at all (a zero-length write
// would still be a packet on some links). The port's tally tells a write cut short.
void WriteCommandText(CPrinterPort& port, std::string_view text);

// Print Test String: the two test lines in one write, then print and feed
// in a second.
void PrintTestString(CPrinterPort& port);

} // namespace kalo
