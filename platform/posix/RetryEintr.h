#pragma once

#include <cerrno>

namespace kalo::platform {

// Calls a system call again while a signal interrupts it; the result of the
// last call, with errno as that call left it.
template <typename F>
auto RetryEintr(F call)
{
    decltype(call()) result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

} // namespace kalo::platform
