#pragma once

#include "CPrinterPort.h"

#include <functional>
#include <string>

namespace kalo {

// The printer's text replies (maker, model, firmware, language) are a 0x5F
// header, the text and a 0x00. These read one the two ways the links allow.

// A text longer than this is not a name: enough for any real reply, small
// enough that a babbling device cannot hold the program.
inline constexpr int kMaxTextBytes = 256;

// Waits 200 ms for a reply of this shape and reads length bytes, once more
// when nothing came.
int BlockRead(CPrinterPort& port, uint8_t* buffer, uint32_t length, const ReplyShape& shape);

// Byte-wise links: single bytes up to the 0x00 that ends the text; every
// "_" is dropped, not only the header. maxEmptyReads empty reads in a row
// (or kMaxTextBytes bytes) end it too. eachByte, when given, runs after
// every byte that arrived, the 0x00 included.
std::string ReadByteWiseText(CPrinterPort& port, uint8_t* buffer, int maxEmptyReads,
                             const std::function<void()>& eachByte = {});

// Where the text of a block reply begins.
enum class TextStart {
    SecondByte,       // the first byte is the header, whatever it is
    AfterUnderscore,  // after the first 0x5F of the buffer (at byte 0 when there is none)
};

// Block links: a block read of readLength bytes into the cleared buffer of
// size bytes; the text runs from start up to the first 0x00 or the
// buffer's end.
std::string ReadBlockText(CPrinterPort& port, uint8_t* buffer, size_t size, uint32_t readLength, TextStart start);

} // namespace kalo
