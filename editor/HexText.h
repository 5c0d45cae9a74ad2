#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalo {

// Command bytes typed as hexadecimal text. Separators are space, CR, LF, tab
// and backspace. After the trailing separators are dropped, the text is read
// in pairs: separators before a pair are skipped, then the next two
// characters are one pair whatever the second one is (so "1b401" is 1B 40 01
// and "1 2" is 01 02), and the pair is read as scanf's "%x" reads it: white
// space first, an optional sign, then hexadecimal digits up to the first
// other character; the low 8 bits are the byte ("-1" is FF). Every pair
// gives one byte and nothing is refused: a pair in which "%x" reads no digit
// at all ("zz", ",1", "-z") gives 00.
std::vector<uint8_t> ParseHexText(std::string_view text);

// Appends each byte as two lower-case digits and a space ("%.2x "), the form
// ParseHexText reads back byte for byte.
void AppendHexText(std::string& text, const uint8_t* data, size_t length);

inline std::string HexText(const uint8_t* data, size_t length)
{
    std::string text;
    AppendHexText(text, data, length);
    return text;
}

template <size_t N>
std::string HexText(const std::array<uint8_t, N>& bytes)
{
    return HexText(bytes.data(), N);
}

} // namespace kalo
