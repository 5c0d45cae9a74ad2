#include "WireLogText.h"

#include <chrono>
#include <fstream>
#include <thread>

namespace kalo::test {

std::string HexText(const uint8_t* bytes, size_t length)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        text += i == 0 ? "" : " ";
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string ReceivedHex(const std::string& wireLog)
{
    std::ifstream in(wireLog);
    std::string line, all;
    while (std::getline(in, line)) {
        const size_t at = line.find(" rx ");
        if (at != std::string::npos)
            all += (all.empty() ? "" : " ") + line.substr(at + 4);
    }
    return all;
}

bool WaitForReceived(const std::string& wireLog, const std::string& hex, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (ReceivedHex(wireLog).find(hex) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace kalo::test
