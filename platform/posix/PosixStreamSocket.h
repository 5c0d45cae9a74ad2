#pragma once

#include "../StreamSocket.h"

namespace kalo::platform {

class PosixStreamSocket final : public StreamSocket {
public:
    PosixStreamSocket() = default;
    ~PosixStreamSocket() override;
    PosixStreamSocket(const PosixStreamSocket&) = delete;
    PosixStreamSocket& operator=(const PosixStreamSocket&) = delete;

    int Create() override;
    int Connect(const std::string& host, uint16_t port, int64_t timeoutMicros) override;
    long Send(const uint8_t* data, size_t length, int64_t timeoutMicros) override;
    long Receive(uint8_t* buffer, size_t length, int64_t timeoutMicros) override;
    void Close() override;

private:
    int m_fd = -1;
};

} // namespace kalo::platform
