#include "CEthernetPort.h"

#include "platform/Interruption.h"
#include "platform/Result.h"

#include <algorithm>

namespace kalo {

using namespace platform;

const char kSocketCreateErrorText[] = "Error : Failed to Create socket!";
const char kSocketConnectErrorText[] =
    "Error : Failed to connected \r\nPlease, check IP port configuration in printer control pannel \"PORT\"";

CEthernetPort::CEthernetPort(Platform& platform)
    : m_platform(platform)
{
}

CEthernetPort::~CEthernetPort() = default;

int CEthernetPort::Configure(const PortSettings& settings)
{
    m_address = settings.portName;
    m_tcpPort = settings.tcpPort;
    return 1;
}

std::string CEthernetPort::Target() const
{
    return m_address + ":" + std::to_string(m_tcpPort);
}

int CEthernetPort::Open()
{
    auto socket = m_platform.NewStreamSocket();
    if (socket->Create() != kOk) {
        m_failure = socket->LastFailure();
        m_platform.Messages().Show(kSocketCreateErrorText, "Error", MessageIcon::Error);
        return 0;
    }
    const bool portFits = m_tcpPort > 0 && m_tcpPort <= 65535;
    const int64_t asked = m_platform.GetClock().NowMicros();
    if (portFits && socket->Connect(m_address, uint16_t(m_tcpPort), kConnectTimeoutMs * 1000) == kOk) {
        m_connectMicros = m_platform.GetClock().NowMicros() - asked;
        m_socket = std::move(socket);
        return 1;
    }
    m_failure = portFits ? socket->LastFailure()
                         : Failure{"connect", Target(), kErrArgument, 0, "no such TCP port (1 to 65535)"};
    socket->Close();
    // The reason goes with the box of whoever opened the port, so it is said once.
    m_platform.Messages().Show(kSocketConnectErrorText, "Error", MessageIcon::Error);
    return 0;
}

int CEthernetPort::Write(const uint8_t* data, uint32_t length)
{
    if (!m_socket || !data)
        return 0;
    uint32_t sent = 0;
    uint32_t remaining = length;
    while (sent < length) {
        const uint32_t piece = remaining > kPieceSize ? kPieceSize : remaining;
        if (m_socket->Send(data + sent, piece, kSendTimeoutMs * 1000) < 1) {
            m_failure = m_socket->LastFailure();
            break;
        }
        sent += piece;
        remaining -= piece;
        // The printer's network buffer takes one piece at a time.
        if (remaining > 0)
            m_platform.GetClock().SleepMs(kPiecePauseMs);
        if (remaining > 0 && Interrupted()) {
            m_failure = Failure{"send", Target(), kErrInterrupted, 0, kInterruptedReason};
            break;
        }
    }
    return int(sent);
}

int CEthernetPort::Read(uint8_t* buffer, uint32_t length)
{
    if (!m_socket || !buffer || length == 0)
        return 0;
    const long n = m_socket->Receive(buffer, length, kReceiveTimeoutMs * 1000);
    if (n == kErrTimeout) {
        // Only our own bound ran out: nothing arrived, to every caller the
        // same as an empty read. A connection the system timed out is a
        // socket error like any other.
        m_failure = Failure{"receive", Target(), kErrTimeout, 0,
                            "nothing arrived within " + DurationText(kReceiveTimeoutMs * 1000)};
        return 0;
    }
    if (n <= 0)
        m_failure = m_socket->LastFailure(); // closed by the printer (0), or failed
    return n < 0 ? -1 : int(n);
}

int CEthernetPort::ReadWithin(uint8_t* buffer, uint32_t length, int64_t waitMicros)
{
    if (!buffer || length == 0)
        return 0;
    if (!m_socket)
        return -1; // closed after a failure: nothing will come
    const long n = m_socket->Receive(buffer, length, std::max<int64_t>(0, waitMicros));
    if (n == kErrTimeout)
        return 0;
    if (n <= 0) {
        m_failure = m_socket->LastFailure(); // closed by the printer (0), or failed
        return -1;
    }
    return int(n);
}

int64_t CEthernetPort::SettleMicros() const
{
    // A few round trips, taken from how long the connection took to open,
    // between 5 ms (a printer on the same switch) and 50 ms.
    return std::clamp<int64_t>(4 * m_connectMicros, 5000, 50000);
}

void CEthernetPort::Close()
{
    if (m_socket) {
        m_socket->Close();
        m_socket.reset();
    }
}

} // namespace kalo
