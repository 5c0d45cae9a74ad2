#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace kalo::sim {

// One line per chunk: "<milliseconds since start> <rx|tx> <hex bytes>", lower
// case, separated by spaces. rx is what the printer received, tx what it sent.
// A link's opening and closing is a line "<milliseconds> <open|close>
// <link>", so the log shows when a program held the port.
// Other tools read this format; keep it stable.
class WireLog {
public:
    explicit WireLog(std::ostream* out) : m_out(out) {}
    void Log(int64_t millis, bool received, const uint8_t* data, size_t length);
    void Link(int64_t millis, bool opened, const std::string& link);

private:
    std::ostream* m_out;
};

} // namespace kalo::sim
