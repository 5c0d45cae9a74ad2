#include "SystemClock.h"

#include <cerrno>
#include <ctime>

namespace kalo::platform {

int64_t SystemClock::NowMicros()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void SystemClock::SleepMs(uint32_t ms)
{
    // Absolute deadline so that signals interrupting the sleep do not stretch it.
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += ms / 1000;
    until.tv_nsec += long(ms % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
        until.tv_sec += 1;
        until.tv_nsec -= 1000000000L;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

SystemClock& SystemClock::Instance()
{
    static SystemClock clock;
    return clock;
}

} // namespace kalo::platform
