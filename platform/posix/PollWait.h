#pragma once

#include "../Result.h"

#include <cstdint>

namespace kalo::platform {

// Waits up to timeoutMicros for the events on fd, retrying on EINTR with the
// time that is left. Returns kOk when an event asked for is there,
// kErrTimeout, kErrClosed on hang-up or error, kErrInterrupted (errno EINTR)
// once the program is interrupted, or another Result, for which errno still
// says why.
Result PollWait(int fd, short events, int64_t timeoutMicros);

} // namespace kalo::platform
