#pragma once

#include "../Failure.h"

#include <string>

namespace kalo::platform {

// A failed system call as the device layers keep it: the Result MapErrno
// gives and the system's own text for errnoValue.
Failure SystemFailure(const char* call, const std::string& target, int errnoValue);

} // namespace kalo::platform
