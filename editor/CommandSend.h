#pragma once

#include "port/CPrinterPort.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace kalo {

// Write Command: the bytes of the text in one write, with no wait and no
// read. A text without a pair writes nothing at all (a zero-length write
// would still be a packet on some links). The port's tally tells a write cut short.
void WriteCommandText(CPrinterPort& port, std::string_view text);
// The same for bytes already converted (a command file's).
void WriteCommandBytes(CPrinterPort& port, const std::vector<uint8_t>& bytes);

// Print Test String: the two test lines in one write, then print and feed
// in a second.
void PrintTestString(CPrinterPort& port);

} // namespace kalo
