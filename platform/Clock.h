#pragma once

#include <cstdint>

namespace kalo::platform {

// All waits of the program go through a clock, so tests can run the exact
// protocol timing on a virtual timeline and assert every wait.
class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic time in microseconds since an arbitrary origin.
    virtual int64_t NowMicros() = 0;
    // The protocol's "wait N ms".
    virtual void SleepMs(uint32_t ms) = 0;
    // Waits until the deadline (in NowMicros time), for paced work whose
    // waits must not add up their small overshoots. This version waits
    // whole milliseconds, as a timeline in whole milliseconds needs.
    virtual void SleepUntilMicros(int64_t deadline)
    {
        const int64_t left = deadline - NowMicros();
        if (left > 0)
            SleepMs(uint32_t((left + 999) / 1000));
    }

    int64_t NowMs() { return NowMicros() / 1000; }
};

} // namespace kalo::platform
