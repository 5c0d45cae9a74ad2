#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

namespace kalo {

// What the reads after a wait will take from the printer, so that a wait
// under the reply pace knows when the reply it waits for is whole.
class ReplyShape {
public:
    // That many bytes: the identification byte, the power-save reply.
    static constexpr ReplyShape Bytes(uint32_t count) { return ReplyShape(Kind::Bytes, 0, count); }
    // A text reply: its 0x5F header and the text, through the 0x00 after it.
    static constexpr ReplyShape Text() { return ReplyShape(Kind::Text, 0x5F, 0); }
    // A header byte and count bytes after it: a switch reply is 0x37 and ten.
    static constexpr ReplyShape AfterHeader(uint8_t header, uint32_t count)
    {
        return ReplyShape(Kind::AfterHeader, header, count);
    }
    // Nothing awaited: a drain takes whatever comes until the line is quiet.
    static constexpr ReplyShape Nothing() { return ReplyShape(Kind::Bytes, 0, 0); }

    bool WholeIn(std::span<const uint8_t> ahead) const
    {
        if (m_kind == Kind::Bytes)
            return ahead.size() >= m_count;
        const auto header = std::find(ahead.begin(), ahead.end(), m_header);
        if (header == ahead.end())
            return false;
        if (m_kind == Kind::AfterHeader)
            return size_t(ahead.end() - header) > m_count;
        return std::find(header + 1, ahead.end(), uint8_t(0x00)) != ahead.end();
    }

private:
    enum class Kind { Bytes, Text, AfterHeader };
    constexpr ReplyShape(Kind kind, uint8_t header, uint32_t count)
        : m_kind(kind)
        , m_header(header)
        , m_count(count)
    {
    }

    Kind m_kind;
    uint8_t m_header;
    uint32_t m_count;
};

} // namespace kalo
