#include "SystemClock.h"

#include "posix/Wakeup.h"

namespace kalo::platform {

int64_t SystemClock::NowMicros()
{
    return MonotonicMicros();
}

void SystemClock::SleepMs(uint32_t ms)
{
    // Absolute deadline so that signals interrupting the sleep do not stretch
    // it; an interruption of the program ends it.
    SleepUntil(MonotonicMicros() + int64_t(ms) * 1000);
}

void SystemClock::SleepUntilMicros(int64_t deadline)
{
    SleepUntil(deadline);
}

SystemClock& SystemClock::Instance()
{
    static SystemClock clock;
    return clock;
}

} // namespace kalo::platform
