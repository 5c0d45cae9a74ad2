#include "WireLog.h"

namespace kalo::sim {

void WireLog::Log(int64_t millis, bool received, const uint8_t* data, size_t length)
{
    if (!m_out || length == 0)
        return;
    static const char kDigits[] = "0123456789abcdef";
    std::string line = std::to_string(millis) + (received ? " rx" : " tx");
    line.reserve(line.size() + length * 3 + 1);
    for (size_t i = 0; i < length; ++i) {
        line += ' ';
        line += kDigits[data[i] >> 4];
        line += kDigits[data[i] & 15];
    }
    line += '\n';
    m_out->write(line.data(), std::streamsize(line.size()));
    m_out->flush();
}

void WireLog::Link(int64_t millis, bool opened, const std::string& link)
{
    if (!m_out)
        return;
    *m_out << millis << (opened ? " open " : " close ") << link << '\n';
    m_out->flush();
}

} // namespace kalo::sim
