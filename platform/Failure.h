#pragma once

#include "Result.h"

#include <cstdint>
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
    bool operator==(const Failure&) const = default;
};

// Reasons of our own that more than one device layer gives.
inline constexpr char kHungUpReason[] = "the device hung up";
inline constexpr char kPeerClosedReason[] = "the printer closed the connection";
inline constexpr char kInterruptedReason[] = "interrupted";

// "5 s" or "250 ms": how long a bound of our own was, for its reason text.
std::string DurationText(int64_t micros);

// The failure as a technician reads it, with a hint where one is known:
// "open /dev/ttyS0: Permission denied (add the user to the dialout group)".
// portName is the program's name for the port ("COM5", "\\.\COM10"); the
// hints that name its environment variable need it. "" for an empty failure.
std::string DescribeFailure(const Failure& failure, const std::string& portName);

} // namespace kalo::platform
