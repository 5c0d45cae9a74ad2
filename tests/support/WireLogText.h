#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalo::test {

// Bytes as kalo-vprinter's wire log writes them: "1d 28 45".
std::string HexText(const uint8_t* bytes, size_t length);
template <typename Bytes>
std::string HexText(const Bytes& bytes)
{
    return HexText(bytes.data(), bytes.size());
}

// Everything a file holds, byte for byte; "" when it cannot be read.
std::string FileBytes(const std::string& path);

// Everything the printer received, as one run of hex: a pseudo-terminal may
// split a command between two reads, so lines mean nothing here.
std::string ReceivedHex(const std::string& wireLog);

// Waits until the printer has received hex; false when it did not within the time.
bool WaitForReceived(const std::string& wireLog, const std::string& hex, int timeoutMs);

} // namespace kalo::test
