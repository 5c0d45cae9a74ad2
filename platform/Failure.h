#pragma once

#include "Result.h"

#include <string>

namespace kalo::platform {

// Why a platform call failed, kept so a technician can be told more than
// "it failed": which call, on which device or address, and the system's own
// words. The device layers fill it at the point of failure; nothing above
// them looks at errno.
struct Failure {
    std::string call;    // "open", "connect", "read", "write", "set line", ...
    std::string target;  // the device path or "host:port"
    Result result = kOk; // the mapped result code
    int systemError = 0; // errno (0 when the failure is a bound of our own, such as a time-out)
    std::string reason;  // the system's text for it ("Permission denied"), or ours

    bool Empty() const { return call.empty(); }
};

} // namespace kalo::platform
