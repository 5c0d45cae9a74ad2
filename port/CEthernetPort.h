#pragma once

#include "PortSettings.h"
#include "platform/Failure.h"
#include "platform/Platform.h"

#include <memory>

namespace kalo {

// A printer on the network: a plain TCP client. Owns its socket from Open to Close.
class CEthernetPort {
public:
    // A printer that neither answers nor closes the connection must not hold
    // the program for ever: every wait on the socket is bounded, far beyond
    // the few milliseconds a reply takes.
    static constexpr int64_t kConnectTimeoutMs = 5000;
    static constexpr int64_t kReceiveTimeoutMs = 3000;
    static constexpr int64_t kSendTimeoutMs = 10000;
    static constexpr uint32_t kPieceSize = 4096;
    static constexpr uint32_t kPiecePauseMs = 500;

    explicit CEthernetPort(platform::Platform& platform);
    ~CEthernetPort();
    CEthernetPort(const CEthernetPort&) = delete;
    CEthernetPort& operator=(const CEthernetPort&) = delete;

    int Configure(const PortSettings& settings);
    int Open();
    int Write(const uint8_t* data, uint32_t length);
    int Read(uint8_t* buffer, uint32_t length);
    // What arrives within waitMicros, returning as soon as something has:
    // the count (0 when nothing came), or -1 when the link failed.
    int ReadWithin(uint8_t* buffer, uint32_t length, int64_t waitMicros);
    // How long the line must stay quiet after a reply before the reply
    // pace takes it as over.
    int64_t SettleMicros() const;
    void Close();
    const platform::Failure& LastFailure() const { return m_failure; }
    void ClearFailure() { m_failure = {}; }

private:
    std::string Target() const; // "address:port", as failures name it

    platform::Platform& m_platform;
    platform::Failure m_failure;
    std::unique_ptr<platform::StreamSocket> m_socket;
    int64_t m_connectMicros = 0; // how long the open took: the settle time is a few of it
    std::string m_address;
    uint32_t m_tcpPort = 0;
};

extern const char kSocketCreateErrorText[];
extern const char kSocketConnectErrorText[];

} // namespace kalo
