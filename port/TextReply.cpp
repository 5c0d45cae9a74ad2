#include "TextReply.h"

#include <cstring>

namespace kalo {

int BlockRead(CPrinterPort& port, uint8_t* buffer, uint32_t length, const ReplyShape& shape)
{
    port.AwaitReply(200, shape);
    const int n = port.Read(buffer, length);
    return n == 0 ? port.Read(buffer, length) : n;
}

std::string ReadByteWiseText(CPrinterPort& port, uint8_t* buffer, int maxEmptyReads,
                             const std::function<void()>& eachByte)
{
    std::string text;
    int empty = 0;
    for (int bytes = 0; bytes < kMaxTextBytes && empty < maxEmptyReads;) {
        // An empty read does not repeat the byte before it.
        if (port.Read(buffer, 1) <= 0) {
            ++empty;
            continue;
        }
        empty = 0;
        ++bytes;
        if (eachByte)
            eachByte();
        if (buffer[0] == 0x00)
            break;
        if (buffer[0] != 0x5F)
            text += char(buffer[0]);
    }
    return text;
}

std::string ReadBlockText(CPrinterPort& port, uint8_t* buffer, size_t size, uint32_t readLength, TextStart start)
{
    std::memset(buffer, 0, size);
    BlockRead(port, buffer, readLength, ReplyShape::Text());
    size_t first = 1;
    if (start == TextStart::AfterUnderscore) {
        first = 0;
        while (first < size && buffer[first] != 0x5F)
            ++first;
        first = first < size ? first + 1 : 0;
    }
    std::string text;
    for (size_t i = first; i < size && buffer[i] != 0; ++i)
        text += char(buffer[i]);
    return text;
}

} // namespace kalo
