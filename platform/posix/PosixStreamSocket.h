#pragma once

#include "../StreamSocket.h"

namespace kalo::platform {

class PosixStreamSocket final : public StreamSocket {
public:
    PosixStreamSocket() = default;
    ~PosixStreamSocket() override;
    PosixStreamSocket(const PosixStreamSocket&) = delete;
    PosixStreamSocket& operator=(const PosixStreamSocket&) = delete;

    Result Create() override;
    Result Connect(const std::string& host, uint16_t port, int64_t timeoutMicros) override;
    long Send(const uint8_t* data, size_t length, int64_t timeoutMicros) override;
    long Receive(uint8_t* buffer, size_t length, int64_t timeoutMicros) override;
    void Close() override;
    const Failure& LastFailure() const override { return m_failure; }

private:
    bool PeerHasClosed() const;
    Result Fail(const char* call, int errnoValue);
    // A failure of our own making, with no errno behind it.
    Result Own(const char* call, Result result, const std::string& reason);

    int m_fd = -1;
    std::string m_target; // "host:port" once Connect has named it
    Failure m_failure;
};

} // namespace kalo::platform
