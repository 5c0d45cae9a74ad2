#include "PosixParallelDevice.h"

#include "../Deadline.h"
#include "../Interruption.h"

#include "RetryEintr.h"
#include "SystemFailure.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <linux/lp.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kalo::platform {

namespace {

constexpr int64_t kRetryMicros = 10000;

} // namespace

PosixParallelDevice::~PosixParallelDevice()
{
    Close();
}

Result PosixParallelDevice::Fail(const char* call, int errnoValue)
{
    m_failure = SystemFailure(call, m_path, errnoValue);
    // The lp driver's write errors stand for the printer's state, which the
    // system's generic texts do not say.
    if (errnoValue == ENOSPC)
        m_failure.reason = "out of paper";
    else if (errnoValue == EIO)
        m_failure.reason = "off line or reporting a fault";
    return m_failure.result;
}

bool PosixParallelDevice::Nap(const Deadline& deadline, const char* call)
{
    const int64_t nap = std::min(kRetryMicros, deadline.Remaining());
    if (nap > 0)
        m_clock.SleepMs(uint32_t((nap + 999) / 1000));
    if (!Interrupted())
        return true;
    Fail(call, EINTR);
    return false;
}

Result PosixParallelDevice::Open(const std::string& path)
{
    if (m_fd >= 0)
        return kErrArgument;
    m_path = path;
    if (path.empty())
        return Fail("open", ENOENT);
    const int fd = RetryEintr([&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0)
        return Fail("open", errno);
    m_fd = fd;
    // Without LPABORT the driver answers a printer out of paper or off line
    // with EAGAIN for as long as it lasts, and a write would wait out its
    // whole bound; with it the write stops with ENOSPC or EIO. The flag
    // belongs to the port, so it is put back on Close.
    int flags = 0;
    if (ioctl(fd, LPGETFLAGS, &flags) == 0 && !(flags & LP_ABORT))
        m_abortSet = ioctl(fd, LPABORT, 1) == 0;
    return kOk;
}

Result PosixParallelDevice::GetStatus(uint8_t& status)
{
    int value = 0;
    if (RetryEintr([&] { return ioctl(m_fd, LPGETSTATUS, &value); }) != 0)
        return Fail("status", errno);
    status = uint8_t(value);
    return kOk;
}

long PosixParallelDevice::Read(uint8_t* buffer, size_t length, int64_t totalMicros, int64_t intervalMicros)
{
    m_failure = {};
    Deadline deadline(m_clock, totalMicros, intervalMicros);
    size_t got = 0;
    while (got < length && !deadline.Expired()) {
        const ssize_t n = RetryEintr([&] { return ::read(m_fd, buffer + got, length - got); });
        if (n > 0) {
            got += size_t(n);
            deadline.Progress();
        } else if (n == 0 || errno == EAGAIN) {
            // 0 is not an end here: the printer has nothing to send yet.
            if (!Nap(deadline, "read"))
                break;
        } else {
            Fail("read", errno);
            break;
        }
    }
    return long(got);
}

long PosixParallelDevice::Write(const uint8_t* data, size_t length, int64_t timeoutMicros)
{
    m_failure = {};
    const Deadline deadline(m_clock, timeoutMicros);
    size_t sent = 0;
    while (sent < length && !deadline.Expired()) {
        const ssize_t n = RetryEintr([&] { return ::write(m_fd, data + sent, length - sent); });
        if (n > 0) {
            sent += size_t(n);
        } else if (n == 0 || errno == EAGAIN) {
            if (!Nap(deadline, "write"))
                break;
        } else {
            Fail("write", errno);
            break;
        }
    }
    return long(sent);
}

void PosixParallelDevice::Close()
{
    if (m_fd >= 0) {
        if (m_abortSet)
            ioctl(m_fd, LPABORT, 0);
        m_abortSet = false;
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace kalo::platform
