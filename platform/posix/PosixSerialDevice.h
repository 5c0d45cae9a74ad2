#pragma once

#include "../SerialDevice.h"

namespace kalo::platform {

// A serial device on termios. The descriptor stays non-blocking; waits are
// done with poll so time-outs can be as short as the port needs.
class PosixSerialDevice final : public SerialDevice {
public:
    PosixSerialDevice() = default;
    ~PosixSerialDevice() override;
    PosixSerialDevice(const PosixSerialDevice&) = delete;
    PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

    int Open(const std::string& path) override;
    int GetLine(LineSettings& settings) override;
    int SetLine(const LineSettings& settings) override;
    int GetModemStatus(unsigned& lines) override;
    int Purge() override;
    int WaitReadable(int64_t timeoutMicros) override;
    long ReadAvailable(uint8_t* buffer, size_t length) override;
    int WaitWritable(int64_t timeoutMicros) override;
    long WriteAvailable(const uint8_t* data, size_t length) override;
    long WaitDrained(int64_t timeoutMicros) override;
    int FlushOutput() override;
    void Close() override;

private:
    int m_fd = -1;
    int64_t m_byteMicros = 1042; // one character at 9600 8N1 until the line is set
};

} // namespace kalo::platform
