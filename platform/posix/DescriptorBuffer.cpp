#include "DescriptorBuffer.h"

#include "../Result.h"
#include "PollWait.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalo::platform {

namespace {

constexpr size_t kBufferBytes = 64 * 1024;
// How often a wait without a bound looks whether the program was interrupted.
constexpr int64_t kUnboundedSliceMicros = 1000000;

} // namespace

DescriptorBuffer::DescriptorBuffer(int fd, bool owned, uint32_t patienceMs)
    : m_fd(fd)
    , m_owned(owned)
    , m_patienceMs(patienceMs)
    , m_chunk(kBufferBytes)
    , m_pending(kBufferBytes)
{
    // Once poll(2) finds room in a pipe, a write of up to PIPE_BUF goes in
    // whole; a larger one could wait inside write(2) for the reader, where no
    // bound and no interruption reach it.
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        m_chunk = PIPE_BUF;
    setp(m_pending.data(), m_pending.data() + m_pending.size());
}

DescriptorBuffer::~DescriptorBuffer()
{
    Drain();
    if (m_owned)
        close(m_fd);
}

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type c)
{
    if (!Drain())
        return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

std::streamsize DescriptorBuffer::xsputn(const char* data, std::streamsize length)
{
    const size_t size = size_t(length);
    if (size > size_t(epptr() - pptr())) {
        if (!Drain())
            return 0;
        if (size >= m_pending.size())
            return Put(data, size) ? length : 0;
    }
    std::memcpy(pptr(), data, size);
    pbump(int(size));
    return length;
}

int DescriptorBuffer::sync()
{
    return Drain() ? 0 : -1;
}

bool DescriptorBuffer::Drain()
{
    const bool written = Put(pbase(), size_t(pptr() - pbase()));
    setp(m_pending.data(), m_pending.data() + m_pending.size());
    return written;
}

bool DescriptorBuffer::Put(const char* data, size_t length)
{
    if (!m_failure.empty())
        return false;
    while (length > 0) {
        if (!WaitForRoom())
            return false;
        const ssize_t n = write(m_fd, data, std::min(length, m_chunk));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0) {
            m_readerGone = errno == EPIPE;
            return Fail(std::strerror(errno));
        }
        data += n;
        length -= size_t(n);
    }
    return true;
}

bool DescriptorBuffer::WaitForRoom()
{
    // A reader keeping up, or a file: no wait, so nothing for an
    // interruption to cut short (what a stopped command prints still goes out).
    pollfd ready{m_fd, POLLOUT, 0};
    if (poll(&ready, 1, 0) != 0)
        return true; // room, or a failure write(2) names
    for (;;) {
        const Result waited =
            PollWait(m_fd, POLLOUT, m_patienceMs ? int64_t(m_patienceMs) * 1000 : kUnboundedSliceMicros);
        if (waited == kOk || waited == kErrClosed)
            return true;
        if (waited == kErrInterrupted)
            return Fail("interrupted while the reader took nothing");
        if (waited != kErrTimeout)
            return Fail(std::strerror(errno));
        if (m_patienceMs)
            return Fail("the reader took nothing for " + std::to_string(m_patienceMs) + " ms");
    }
}

bool DescriptorBuffer::Fail(const std::string& reason)
{
    if (m_failure.empty())
        m_failure = reason;
    return false;
}

std::unique_ptr<OutputBuffer> StandardOutputBuffer(StandardStream stream, uint32_t patienceMs)
{
    return std::make_unique<DescriptorBuffer>(stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO,
                                              false, patienceMs);
}

} // namespace kalo::platform
