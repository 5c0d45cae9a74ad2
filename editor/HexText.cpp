#include "HexText.h"

namespace kalo {

namespace {

bool IsSeparator(char c)
{
    return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\b';
}

// What "%x" skips before the number (the C locale's white space).
bool IsScanSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One pair of at most two characters, as "%x" reads it.
uint8_t PairValue(const char* pair, size_t length)
{
    size_t at = 0;
    while (at < length && IsScanSpace(pair[at]))
        ++at;
    bool negative = false;
    if (at < length && (pair[at] == '+' || pair[at] == '-')) {
        negative = pair[at] == '-';
        ++at;
    }
    unsigned value = 0;
    bool read = false;
    for (; at < length; ++at) {
        const int digit = DigitValue(pair[at]);
        if (digit < 0)
            break;
        value = value * 16 + unsigned(digit);
        read = true;
    }
    if (!read)
        return 0;
    return uint8_t(negative ? 0u - value : value);
}

} // namespace

std::vector<uint8_t> ParseHexText(std::string_view text)
{
    size_t end = text.size();
    while (end > 0 && IsSeparator(text[end - 1]))
        --end;
    std::vector<uint8_t> bytes;
    bytes.reserve((end + 1) / 2);
    size_t at = 0;
    while (at < end) {
        if (IsSeparator(text[at])) {
            ++at;
            continue;
        }
        const size_t length = end - at < 2 ? end - at : 2;
        bytes.push_back(PairValue(text.data() + at, length));
        at += length;
    }
    return bytes;
}

void AppendHexText(std::string& text, const uint8_t* data, size_t length)
{
    static const char kDigits[] = "0123456789abcdef";
    const size_t start = text.size();
    text.resize(start + 3 * length);
    char* out = text.data() + start;
    for (size_t i = 0; i < length; ++i) {
        *out++ = kDigits[data[i] >> 4];
        *out++ = kDigits[data[i] & 0x0F];
        *out++ = ' ';
    }
}

} // namespace kalo
