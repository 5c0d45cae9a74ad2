#pragma once

#include "Failure.h"
#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kalo::platform {

// The line settings a serial port sets, in the terms of the program's serial
// port rather than of any one system. The POSIX device maps them to termios.
struct LineSettings {
    uint32_t baudRate = 9600;
    uint8_t byteSize = 8;
    uint8_t parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t stopBits = 0;  // 0 one, 1 one and a half, 2 two
    bool parityCheck = false;
    bool outxCtsFlow = false;
    bool dtrOn = false;
    bool rtsOn = false;
    bool txContinueOnXoff = false;
    bool outX = false;
    bool inX = false;
};

enum ModemLine : unsigned {
    kModemCts = 0x10,
    kModemDsr = 0x20,
    kModemRing = 0x40,
    kModemRlsd = 0x80,
};

// One serial device. Owned by the serial port that opened it; closing or
// destroying it releases the descriptor and any lock on the device.
// Every call returns a Result (<0) or, for reads and writes, a byte count.
// Waits are relative, in microseconds, so an in-process device can let a
// virtual clock run instead of blocking.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Opens for reading and writing, for this process alone.
    virtual Result Open(const std::string& path) = 0;
    virtual Result GetLine(LineSettings& settings) = 0;
    virtual Result SetLine(const LineSettings& settings) = 0;
    // Sets bits of ModemLine. kErrNotSupported when the device has no modem lines.
    virtual Result GetModemStatus(unsigned& lines) = 0;
    // Discards everything queued in both directions.
    virtual Result Purge() = 0;
    // kOk when a byte can be read, kErrTimeout when none came in time, kErrClosed on hang-up.
    virtual Result WaitReadable(int64_t timeoutMicros) = 0;
    // Reads what is there without waiting: count, 0 when nothing, or an error.
    virtual long ReadAvailable(uint8_t* buffer, size_t length) = 0;
    // kOk when a write can go on.
    virtual Result WaitWritable(int64_t timeoutMicros) = 0;
    // Queues what fits without waiting: count, or an error.
    virtual long WriteAvailable(const uint8_t* data, size_t length) = 0;
    // Waits until the output queue is empty; returns the bytes still queued
    // when the time ran out (0 when all left).
    virtual long WaitDrained(int64_t timeoutMicros) = 0;
    // Drops what is still queued for output.
    virtual Result FlushOutput() = 0;
    virtual void Close() = 0;
    // The last call that failed, kept until another fails. A wait that only
    // ran out of time is not a failure of the device.
    virtual const Failure& LastFailure() const = 0;
};

} // namespace kalo::platform
