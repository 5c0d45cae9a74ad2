#include "PollWait.h"

#include "../Result.h"

#include <cerrno>
#include <ctime>
#include <poll.h>

namespace kalo::platform {

namespace {
int64_t MonotonicMicros()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}
} // namespace

Result PollWait(int fd, short events, int64_t timeoutMicros)
{
    const int64_t deadline = MonotonicMicros() + (timeoutMicros > 0 ? timeoutMicros : 0);
    for (;;) {
        int64_t left = deadline - MonotonicMicros();
        if (left < 0)
            left = 0;
        timespec timeout{time_t(left / 1000000), long(left % 1000000) * 1000};
        pollfd p{fd, events, 0};
        const int n = ppoll(&p, 1, &timeout, nullptr);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return MapErrno(errno);
        }
        if (n == 0)
            return kErrTimeout;
        if (p.revents & events)
            return kOk;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL))
            return kErrClosed;
        if (left == 0)
            return kErrTimeout;
    }
}

} // namespace kalo::platform
