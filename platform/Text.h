#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace kalo::platform {

// Case is compared byte by byte in the C locale: names on the printer's
// side (port names, registry paths, option values) are plain ASCII.

inline bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

inline char LowerChar(char c)
{
    return char(std::tolower(static_cast<unsigned char>(c)));
}

inline std::string Lower(std::string text)
{
    for (char& c : text)
        c = LowerChar(c);
    return text;
}

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (LowerChar(text[i]) != LowerChar(prefix[i]))
            return false;
    }
    return true;
}

// The leading decimal number of text as atoi reads it: 0 when there is none,
// and the nearer end of the 32-bit range when it does not fit, never a
// wrapped-round value ("4294976896" is not 9600).
inline int32_t LeadingDecimal(const std::string& text)
{
    return int32_t(std::clamp<long long>(std::strtoll(text.c_str(), nullptr, 10), INT32_MIN, INT32_MAX));
}

// Bytes as lower-case hexadecimal pairs with a space between ("1b 40"), the
// form of the wire trace and of the virtual printer's wire log.
inline std::string HexBytes(const uint8_t* data, size_t length)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 3);
    for (size_t i = 0; i < length; ++i) {
        if (i > 0)
            text += ' ';
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 15];
    }
    return text;
}

// Text that came from outside (a printer's reply, a file, a device's
// attributes) made safe for a terminal: control bytes (C0, DEL, and C1 as
// U+0080..U+009F) and bytes that are not valid UTF-8 come out as \xNN, so a
// printer cannot retitle or clear the technician's terminal. Valid UTF-8
// text, backslashes included, passes unchanged.
std::string Printable(std::string_view text);

} // namespace kalo::platform
