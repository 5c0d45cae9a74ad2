#pragma once

#include <cctype>
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

} // namespace kalo::platform
