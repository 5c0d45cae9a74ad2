#pragma once

#include <cstdint>
#include <fstream>
#include <string>

namespace kalo::test {

// A font image of the given size with a valid header: the count of the bytes
// after the first nine, little-endian, then a pattern that is not all zeros.
inline std::string FontImageBytes(uint32_t size)
{
    std::string bytes(size, '\0');
    const uint32_t count = size - 9;
    const char header[9] = {0x1C, 0x6C, 0x64, 0x73, 0x58, char(count & 0xFF), char(count >> 8 & 0xFF),
                            char(count >> 16 & 0xFF), char(count >> 24)};
    bytes.replace(0, 9, header, 9);
    for (uint32_t i = 9; i < size; ++i)
        bytes[i] = char(i * 7 + 1);
    return bytes;
}

inline void WriteFontImage(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

} // namespace kalo::test
