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

    int64_t NowMs() { return NowMicros() / 1000; }
};

} // namespace kalo::platform
