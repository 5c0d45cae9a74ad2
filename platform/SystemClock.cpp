#include "SystemClock.h"

#include "posix/Wakeup.h"

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
    // Absolute deadline so that signals interrupting the sleep do not stretch
    // it; an interruption of the program ends it.
    SleepUntil(MonotonicMicros() + int64_t(ms) * 1000);
}

SystemClock& SystemClock::Instance()
{
    static SystemClock clock;
    return clock;
}

} // namespace kalo::platform
