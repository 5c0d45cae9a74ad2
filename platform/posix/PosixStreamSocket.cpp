#include "PosixStreamSocket.h"

#include "../Result.h"
#include "PollWait.h"

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

int PosixStreamSocket::Create()
{
    if (m_fd >= 0)
        return kErrArgument;
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0)
        return MapErrno(errno);
    // Commands are small and each exchange waits for its reply: send at once.
    const int one = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return kOk;
}

int PosixStreamSocket::Connect(const std::string& host, uint16_t port, int64_t timeoutMicros)
{
    if (m_fd < 0 || host.empty() || port == 0)
        return kErrArgument;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
            return kErrNoDevice;
        address.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
        freeaddrinfo(found);
    }
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return kOk;
    if (errno != EINPROGRESS && errno != EINTR)
        return MapErrno(errno);
    const int waited = PollWait(m_fd, POLLOUT, timeoutMicros);
    if (waited != kOk && waited != kErrClosed)
        return waited;
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        return MapErrno(errno);
    return error == 0 ? kOk : MapErrno(error);
}

long PosixStreamSocket::Send(const uint8_t* data, size_t length, int64_t timeoutMicros)
{
    if (m_fd < 0)
        return kErrArgument;
    size_t sent = 0;
    while (sent < length) {
        const ssize_t n = ::send(m_fd, data + sent, length - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return MapErrno(errno);
        const int waited = PollWait(m_fd, POLLOUT, timeoutMicros);
        if (waited != kOk)
            return waited;
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
        if (n >= 0)
            return long(n);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return MapErrno(errno);
        if (hungUp)
            return kErrClosed;
        const int waited = PollWait(m_fd, POLLIN, timeoutMicros);
        if (waited == kErrClosed) {
            hungUp = true; // recv tells an end of stream from an error
            continue;
        }
        if (waited != kOk)
            return waited;
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
