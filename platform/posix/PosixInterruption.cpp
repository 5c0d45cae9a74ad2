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

struct WakePipe {
    int read = -1;
    int write = -1;
    WakePipe()
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            read = fds[0];
            write = fds[1];
        }
    }
};

// Made before any signal can be handled: the first Interrupted() or wait
// makes it, and InterruptOnTerminationSignals asks for it first thing.
WakePipe& Pipe()
{
    static WakePipe pipe;
    return pipe;
}

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
    [[maybe_unused]] const ssize_t written = ::write(Pipe().write, &byte, 1);
    errno = saved;
}

void ClearInterruption()
{
    g_interrupted.store(false);
    g_signal.store(0);
    char drained[64];
    while (::read(Pipe().read, drained, sizeof drained) > 0) {
    }
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
    return g_holds.load() == 0 ? Pipe().read : -1;
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
