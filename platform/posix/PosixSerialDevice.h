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

    Result Open(const std::string& path) override;
    Result GetLine(LineSettings& settings) override;
    Result SetLine(const LineSettings& settings) override;
    Result GetModemStatus(unsigned& lines) override;
    Result Purge() override;
    Result WaitReadable(int64_t timeoutMicros) override;
    long ReadAvailable(uint8_t* buffer, size_t length) override;
    Result WaitWritable(int64_t timeoutMicros) override;
    long WriteAvailable(const uint8_t* data, size_t length) override;
    long WaitDrained(int64_t timeoutMicros) override;
    Result FlushOutput() override;
    void Close() override;
    const Failure& LastFailure() const override { return m_failure; }

private:
    Result Fail(const char* call, int errnoValue);
    Result HungUp(const char* call);
    Result Wait(short events, int64_t timeoutMicros, const char* call);

    int m_fd = -1;
    std::string m_path;
    Failure m_failure;
    int64_t m_byteMicros = 1042; // one character at 9600 8N1 until the line is set
};

} // namespace kalo::platform
