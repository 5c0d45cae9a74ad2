#pragma once

#include <cstdint>

namespace kalo::platform {

// The read end of the pipe an interruption writes to, for the waits to
// watch beside their own descriptor; -1 while no interruption can wake them
// (none set up, or an InterruptionHold lives).
int WakeupFd();

// Sleeps until the monotonic deadline, or until an interruption comes.
void SleepUntil(int64_t deadlineMicros);

int64_t MonotonicMicros();

} // namespace kalo::platform
