#include "PollWait.h"

#include "../Deadline.h"
#include "../Interruption.h"
#include "../Result.h"
#include "../SystemClock.h"
#include "Wakeup.h"

#include <cerrno>
#include <ctime>
#include <poll.h>

namespace kalo::platform {

Result PollWait(int fd, short events, int64_t timeoutMicros)
{
    const Deadline deadline(SystemClock::Instance(), timeoutMicros);
    for (;;) {
        if (Interrupted()) {
            errno = EINTR;
            return kErrInterrupted;
        }
        const int64_t left = deadline.Remaining();
        timespec timeout{time_t(left / 1000000), long(left % 1000000) * 1000};
        pollfd p[2] = {{fd, events, 0}, {WakeupFd(), POLLIN, 0}};
        const int n = ppoll(p, p[1].fd >= 0 ? 2 : 1, &timeout, nullptr);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return MapErrno(errno);
        }
        if (p[0].revents & events)
            return kOk;
        if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL))
            return kErrClosed;
        if (n == 0 || left == 0)
            return kErrTimeout;
    }
}

} // namespace kalo::platform
