#include "../Signals.h"

#include "../Interruption.h"

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace kalo::platform {

namespace {

constexpr int kTerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

int g_noticeWriteFd = -1;

void OnTerminationSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // Non-blocking: when notices are already waiting, one more adds nothing.
    [[maybe_unused]] const ssize_t written = write(g_noticeWriteFd, &byte, 1);
    errno = saved;
}

} // namespace

void IgnoreBrokenPipes()
{
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGPIPE, &action, nullptr);
    sigaction(SIGXFSZ, &action, nullptr);
}

int NoticeTerminationSignals()
{
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0)
        return -1;
    g_noticeWriteFd = fds[0];
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kTerminationSignals)
        sigaction(signal, &action, nullptr);
    return fds[1];
}

void DrainTerminationNotices(int fd)
{
    char drained[16];
    for (;;) {
        const ssize_t n = read(fd, drained, sizeof drained);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
    }
}

void InterruptOnTerminationSignals()
{
    // The wake-up pipe exists before a handler can want it.
    ClearInterruption();
    struct sigaction action {};
    action.sa_handler = [](int signal) { Interrupt(signal); };
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read of standard input that waits for a terminal ends too.
    action.sa_flags = 0;
    for (int signal : kTerminationSignals)
        sigaction(signal, &action, nullptr);
}

} // namespace kalo::platform
