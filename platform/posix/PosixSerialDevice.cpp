#include "PosixSerialDevice.h"

#include "../Deadline.h"
#include "../Interruption.h"
#include "../SystemClock.h"
#include "../Result.h"
#include "PollWait.h"
#include "RetryEintr.h"
#include "SystemFailure.h"
#include "Wakeup.h"

#include <poll.h>
#include <ctime>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace kalo::platform {

namespace {

struct BaudEntry {
    uint32_t rate;
    speed_t code;
};

constexpr BaudEntry kBauds[] = {
    {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800},
    {921600, B921600},
};

bool SpeedCode(uint32_t rate, speed_t& code)
{
    for (const BaudEntry& e : kBauds) {
        if (e.rate == rate) {
            code = e.code;
            return true;
        }
    }
    return false;
}

uint32_t SpeedRate(speed_t code)
{
    for (const BaudEntry& e : kBauds) {
        if (e.code == code)
            return e.rate;
    }
    return 0;
}

} // namespace

PosixSerialDevice::~PosixSerialDevice()
{
    Close();
}

Result PosixSerialDevice::Fail(const char* call, int errnoValue)
{
    m_failure = SystemFailure(call, m_path, errnoValue);
    return m_failure.result;
}

Result PosixSerialDevice::HungUp(const char* call)
{
    m_failure = Failure{call, m_path, kErrClosed, 0, kHungUpReason};
    return kErrClosed;
}

Result PosixSerialDevice::Open(const std::string& path)
{
    if (m_fd >= 0)
        return kErrArgument;
    m_path = path;
    if (path.empty())
        return Fail("open", ENOENT);
    const int fd = RetryEintr([&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0)
        return Fail("open", errno);
    // TIOCEXCL keeps other users out; root passes it, so an advisory lock
    // keeps out a second copy of this program even then.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        return Fail("open", err);
    }
    if (!isatty(fd)) {
        ::close(fd);
        m_failure = Failure{"open", path, kErrNotSupported, ENOTTY, "not a serial device"};
        return kErrNotSupported;
    }
    ioctl(fd, TIOCEXCL);
    m_fd = fd;
    return kOk;
}

Result PosixSerialDevice::GetLine(LineSettings& s)
{
    termios t{};
    if (tcgetattr(m_fd, &t) != 0)
        return Fail("get line", errno);
    s.baudRate = SpeedRate(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
    case CS5: s.byteSize = 5; break;
    case CS6: s.byteSize = 6; break;
    case CS7: s.byteSize = 7; break;
    default: s.byteSize = 8; break;
    }
    if (!(t.c_cflag & PARENB))
        s.parity = 0;
    else if (t.c_cflag & CMSPAR)
        s.parity = (t.c_cflag & PARODD) ? 3 : 4;
    else
        s.parity = (t.c_cflag & PARODD) ? 1 : 2;
    s.stopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
    s.parityCheck = (t.c_iflag & INPCK) != 0;
    s.outxCtsFlow = (t.c_cflag & CRTSCTS) != 0;
    s.outX = (t.c_iflag & IXON) != 0;
    s.inX = (t.c_iflag & IXOFF) != 0;
    s.txContinueOnXoff = (t.c_iflag & IXANY) != 0;
    return kOk;
}

Result PosixSerialDevice::SetLine(const LineSettings& s)
{
    termios t{};
    if (tcgetattr(m_fd, &t) != 0)
        return Fail("set line", errno);
    // termios cannot say these; the system refuses such values with EINVAL.
    const auto refused = [this] {
        m_failure = SystemFailure("set line", m_path, EINVAL);
        m_failure.result = kErrArgument;
        return kErrArgument;
    };
    speed_t speed{};
    if (!SpeedCode(s.baudRate, speed))
        return refused();
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    switch (s.byteSize) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    case 8: t.c_cflag |= CS8; break;
    default: return refused();
    }
    switch (s.parity) {
    case 0: break;
    case 1: t.c_cflag |= PARENB | PARODD; break;
    case 2: t.c_cflag |= PARENB; break;
    case 3: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case 4: t.c_cflag |= PARENB | CMSPAR; break;
    default: return refused();
    }
    // Linux has no one and a half stop bits; two is the nearest a receiver
    // expecting one or two still accepts.
    switch (s.stopBits) {
    case 0: break;
    case 1:
    case 2: t.c_cflag |= CSTOPB; break;
    default: return refused();
    }
    if (s.parityCheck && s.parity != 0)
        t.c_iflag |= INPCK;
    if (s.outxCtsFlow)
        t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (s.outX)
        t.c_iflag |= IXON;
    if (s.inX)
        t.c_iflag |= IXOFF;
    if (s.txContinueOnXoff)
        t.c_iflag |= IXANY;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (RetryEintr([&] { return tcsetattr(m_fd, TCSANOW, &t); }) != 0)
        return Fail("set line", errno);

    int lines = (s.dtrOn ? TIOCM_DTR : 0) | (s.rtsOn ? TIOCM_RTS : 0);
    if (lines)
        ioctl(m_fd, TIOCMBIS, &lines); // a pty has no modem lines; nothing to hold on then
    const int bits = 1 + s.byteSize + (s.parity ? 1 : 0) + (s.stopBits ? 2 : 1);
    m_byteMicros = int64_t(bits) * 1000000 / s.baudRate;
    return kOk;
}

Result PosixSerialDevice::GetModemStatus(unsigned& lines)
{
    int bits = 0;
    if (ioctl(m_fd, TIOCMGET, &bits) != 0)
        return Fail("modem status", errno);
    lines = 0;
    if (bits & TIOCM_CTS)
        lines |= kModemCts;
    if (bits & TIOCM_DSR)
        lines |= kModemDsr;
    if (bits & TIOCM_RNG)
        lines |= kModemRing;
    if (bits & TIOCM_CAR)
        lines |= kModemRlsd;
    return kOk;
}

Result PosixSerialDevice::Purge()
{
    return tcflush(m_fd, TCIOFLUSH) == 0 ? kOk : Fail("purge", errno);
}

Result PosixSerialDevice::Wait(short events, int64_t timeoutMicros, const char* call)
{
    const Result waited = PollWait(m_fd, events, timeoutMicros);
    if (waited == kErrClosed)
        return HungUp(call);
    if (waited != kOk && waited != kErrTimeout)
        return Fail(call, errno);
    return waited;
}

Result PosixSerialDevice::WaitReadable(int64_t timeoutMicros)
{
    return Wait(POLLIN, timeoutMicros, "read");
}

long PosixSerialDevice::ReadAvailable(uint8_t* buffer, size_t length)
{
    const ssize_t n = RetryEintr([&] { return int(::read(m_fd, buffer, length)); });
    if (n > 0)
        return n;
    // A terminal reads as ended only once its line has hung up; nothing
    // there yet is EAGAIN.
    if (n == 0)
        return length > 0 ? HungUp("read") : 0;
    return errno == EAGAIN ? 0 : Fail("read", errno);
}

Result PosixSerialDevice::WaitWritable(int64_t timeoutMicros)
{
    return Wait(POLLOUT, timeoutMicros, "write");
}

long PosixSerialDevice::WriteAvailable(const uint8_t* data, size_t length)
{
    const ssize_t n = RetryEintr([&] { return int(::write(m_fd, data, length)); });
    if (n >= 0)
        return n;
    return errno == EAGAIN ? 0 : Fail("write", errno);
}

long PosixSerialDevice::WaitDrained(int64_t timeoutMicros)
{
    // There is no tcdrain with a time-out: sleep for the queued bytes' time on
    // the wire, then look again.
    const Deadline deadline(SystemClock::Instance(), timeoutMicros);
    for (;;) {
        int queued = 0;
        if (ioctl(m_fd, TIOCOUTQ, &queued) != 0 || queued <= 0)
            return 0;
        const int64_t left = deadline.Remaining();
        if (left <= 0)
            return queued;
        // An interrupted program leaves the rest to be flushed, as on a time-out.
        if (Interrupted())
            return queued;
        SleepUntil(MonotonicMicros() + std::min<int64_t>(left, std::max<int64_t>(1000, queued * m_byteMicros)));
    }
}

Result PosixSerialDevice::FlushOutput()
{
    return tcflush(m_fd, TCOFLUSH) == 0 ? kOk : Fail("flush", errno);
}

void PosixSerialDevice::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd); // also drops the advisory lock
        m_fd = -1;
    }
}

} // namespace kalo::platform
