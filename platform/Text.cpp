#include "Text.h"

namespace kalo::platform {

namespace {

// The length of the valid UTF-8 sequence at the start of text, or 0 when
// its first byte does not start one (overlong forms, surrogates and code
// points past U+10FFFF are not valid).
size_t Utf8SequenceLength(std::string_view text)
{
    const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else
        return 0;
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

void AppendEscaped(std::string& out, unsigned char byte)
{
    static const char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
}

} // namespace

std::string Printable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            if (byte < 0x20 || byte == 0x7F)
                AppendEscaped(out, byte);
            else
                out += char(byte);
            ++i;
            continue;
        }
        const size_t length = Utf8SequenceLength(text.substr(i));
        // U+0080..U+009F are C1 controls (0xC2 0x80..0x9F), escaped like C0.
        if (length == 0 || (length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0)) {
            const size_t escaped = length == 0 ? 1 : 2;
            for (size_t k = 0; k < escaped; ++k)
                AppendEscaped(out, static_cast<unsigned char>(text[i + k]));
            i += escaped;
            continue;
        }
        out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

} // namespace kalo::platform
