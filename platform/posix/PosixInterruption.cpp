#include "../Interruption.h"
#include "Wakeup.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace kalo::platform {

namespace {

// Lock-free, so a signal handler may set them.
std::atomic<bool> g_interrupted{false};
std::atomic<int> g_signal{0};
std::atomic<int> g_holds{0};

// The wake-up pipe, made by ClearInterruption before any handler can want
// it; a program that never sets up interruption opens no descriptor for it.
std::atomic<int> g_wakeRead{-1};
std::atomic<int> g_wakeWrite{-1};

} // namespace

bool Interrupted()
{
    return g_interrupted.load() && g_holds.load() == 0;
}

int InterruptingSignal()
{
    return g_signal.load();
}

void Interrupt(int signal)
{
    const int saved = errno;
    if (!g_interrupted.exchange(true))
        g_signal.store(signal);
    // Non-blocking: once a byte waits, the waits see it; one more adds nothing.
    const char byte = 1;
    if (const int fd = g_wakeWrite.load(); fd >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

void ClearInterruption()
{
    g_interrupted.store(false);
    g_signal.store(0);
    if (g_wakeRead.load() < 0) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            g_wakeWrite.store(fds[1]);
            g_wakeRead.store(fds[0]);
        }
    }
    char drained[64];
    while (g_wakeRead.load() >= 0 && ::read(g_wakeRead.load(), drained, sizeof drained) > 0) {
    }
}

int InterruptionNotice()
{
    return g_wakeRead.load();
}

InterruptionHold::InterruptionHold()
{
    ++g_holds;
}

InterruptionHold::~InterruptionHold()
{
    --g_holds;
}

int WakeupFd()
{
    return g_holds.load() == 0 ? g_wakeRead.load() : -1;
}

int64_t MonotonicMicros()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void SleepUntil(int64_t deadlineMicros)
{
    for (;;) {
        if (Interrupted())
            return;
        const int64_t left = deadlineMicros - MonotonicMicros();
        if (left <= 0)
            return;
        const timespec timeout{time_t(left / 1000000), long(left % 1000000) * 1000};
        // With no pipe to watch, ppoll on nothing is a plain sleep that a
        // signal may cut short; the loop then sleeps on to the deadline.
        pollfd p{WakeupFd(), POLLIN, 0};
        ppoll(&p, p.fd >= 0 ? 1 : 0, &timeout, nullptr);
    }
}

} // namespace kalo::platform
