#include "PosixStreamSocket.h"

#include "../Result.h"
#include "PollWait.h"
#include "SystemFailure.h"

#include <poll.h>
#include <ctime>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kalo::platform {

PosixStreamSocket::~PosixStreamSocket()
{
    Close();
}

Result PosixStreamSocket::Fail(const char* call, int errnoValue)
{
    m_failure = SystemFailure(call, m_target, errnoValue);
    return m_failure.result;
}

Result PosixStreamSocket::Own(const char* call, Result result, const std::string& reason)
{
    m_failure = Failure{call, m_target, result, 0, reason};
    return result;
}

Result PosixStreamSocket::Create()
{
    if (m_fd >= 0)
        return kErrArgument;
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0)
        return Fail("socket", errno);
    // Commands are small and each exchange waits for its reply: send at once.
    const int one = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return kOk;
}

Result PosixStreamSocket::Connect(const std::string& host, uint16_t port, int64_t timeoutMicros)
{
    m_target = host + ":" + std::to_string(port);
    if (m_fd < 0)
        return Own("connect", kErrArgument, "no socket");
    if (host.empty() || port == 0)
        return Own("connect", kErrArgument, host.empty() ? "no address" : "no TCP port");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const int looked = getaddrinfo(host.c_str(), nullptr, &hints, &found);
        if (looked == EAI_SYSTEM)
            return Fail("connect", errno);
        if (looked != 0 || !found)
            return Own("connect", kErrNoDevice, looked != 0 ? gai_strerror(looked) : "no address for the name");
        address.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
        freeaddrinfo(found);
    }
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return kOk;
    if (errno != EINPROGRESS && errno != EINTR)
        return Fail("connect", errno);
    const Result waited = PollWait(m_fd, POLLOUT, timeoutMicros);
    if (waited == kErrTimeout)
        return Own("connect", kErrTimeout, "no answer within " + DurationText(timeoutMicros));
    if (waited != kOk && waited != kErrClosed)
        return Fail("connect", errno);
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        return Fail("connect", errno);
    return error == 0 ? kOk : Fail("connect", error);
}

bool PosixStreamSocket::PeerHasClosed() const
{
    pollfd p{m_fd, POLLRDHUP, 0};
    int n;
    do
        n = ::poll(&p, 1, 0);
    while (n < 0 && errno == EINTR);
    return n > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

long PosixStreamSocket::Send(const uint8_t* data, size_t length, int64_t timeoutMicros)
{
    if (m_fd < 0)
        return kErrArgument;
    // A printer that has closed its end takes nothing more, though the kernel
    // would still accept bytes for it until the reset comes back: counting
    // those as sent would hide where the transfer really stopped.
    if (PeerHasClosed())
        return Own("send", kErrClosed, kPeerClosedReason);
    size_t sent = 0;
    bool hungUp = false;
    while (sent < length) {
        const ssize_t n = ::send(m_fd, data + sent, length - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return Fail("send", errno);
        if (hungUp)
            return Own("send", kErrClosed, kPeerClosedReason);
        const Result waited = PollWait(m_fd, POLLOUT, timeoutMicros);
        if (waited == kErrClosed) {
            hungUp = true; // send says what the hang-up was
            continue;
        }
        if (waited == kErrTimeout)
            return Own("send", kErrTimeout, "could not send within " + DurationText(timeoutMicros));
        if (waited != kOk)
            return Fail("send", errno);
    }
    return long(sent);
}

long PosixStreamSocket::Receive(uint8_t* buffer, size_t length, int64_t timeoutMicros)
{
    if (m_fd < 0)
        return kErrArgument;
    bool hungUp = false;
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer, length, 0);
        if (n > 0)
            return long(n);
        if (n == 0) {
            Own("receive", kErrClosed, kPeerClosedReason);
            return 0;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return Fail("receive", errno);
        if (hungUp)
            return Own("receive", kErrClosed, kPeerClosedReason);
        const Result waited = PollWait(m_fd, POLLIN, timeoutMicros);
        if (waited == kErrClosed) {
            hungUp = true; // recv tells an end of stream from an error
            continue;
        }
        if (waited == kErrTimeout)
            return kErrTimeout; // only our own wait ran out: not a failure of the socket
        if (waited != kOk)
            return Fail("receive", errno);
    }
}

void PosixStreamSocket::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace kalo::platform
