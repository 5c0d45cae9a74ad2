#include "Failure.h"

#include "PortMap.h"

namespace kalo::platform {

namespace {

// What a technician can do about a failure. The first row whose call and
// result match, and whose port prefix begins the port's name, gives its
// reason (when the system's words say less) and its advice; "{variable}"
// stands for the port's environment variable.
struct Hint {
    const char* call;
    Result result;
    const char* portPrefix;
    const char* reason;
    const char* advice;
};

constexpr Hint kHints[] = {
    {"open", kErrPermission, "COM", nullptr, "add the user to the dialout group"},
    {"open", kErrNoDevice, "COM", nullptr, "set {variable} to the device"},
    {"open", kErrNotSupported, "COM", nullptr, "set {variable} to a serial device"},
    {"open", kErrPermission, "740plusII:", nullptr, "the udev rule for the printer or the lp group grants access"},
    {"open", kErrPermission, "742plusII:", nullptr, "the udev rule for the printer or the lp group grants access"},
    {"open", kErrPermission, "740II:", nullptr, "the udev rule for the printer or the lp group grants access"},
    {"open", kErrPermission, "LPT", nullptr, "add the user to the lp group"},
    {"open", kErrPermission, "/dev/tty", nullptr, "add the user to the dialout group"},
    {"open", kErrPermission, "/dev/serial/", nullptr, "add the user to the dialout group"},
    {"open", kErrPermission, "/dev/lp", nullptr, "add the user to the lp group"},
    {"open", kErrNoDevice, "LPT", nullptr, "set {variable} to the device"},
    {"status", kErrNotSupported, "LPT", nullptr, "set {variable} to a parallel printer device"},
    {"status", kErrFail, "LPT", nullptr, "check that the printer is on, on line and has paper"},
    {"status", kErrClosed, "LPT", nullptr, "check that the printer is on and its cable is in"},
    {"open", kErrBusy, "", "busy", "another program holds it"},
    {"connect", kErrNoDevice, "", nullptr, "check the printer's address"},
    {"connect", kErrTimeout, "", nullptr, "check the address, and that the printer is on and on the network"},
};

const Hint* FindHint(const Failure& failure, const std::string& baseName)
{
    for (const Hint& hint : kHints) {
        if (failure.call == hint.call && failure.result == hint.result
            && baseName.compare(0, std::string(hint.portPrefix).size(), hint.portPrefix) == 0)
            return &hint;
    }
    return nullptr;
}

std::string Advice(const char* advice, const std::string& portName)
{
    std::string text = advice;
    const std::string token = "{variable}";
    if (const size_t at = text.find(token); at != std::string::npos)
        text.replace(at, token.size(), PortMap::VariableName(portName));
    return text;
}

} // namespace

std::string DurationText(int64_t micros)
{
    if (micros % 1000000 == 0)
        return std::to_string(micros / 1000000) + " s";
    return std::to_string(micros / 1000) + " ms";
}

std::string DescribeFailure(const Failure& failure, const std::string& portName)
{
    if (failure.Empty())
        return std::string();
    const Hint* hint = FindHint(failure, PortMap::BaseName(portName));
    std::string text = failure.call;
    if (!failure.target.empty())
        text += " " + failure.target;
    text += ": ";
    text += hint && hint->reason ? std::string(hint->reason) : failure.reason;
    if (hint)
        text += " (" + Advice(hint->advice, portName) + ")";
    return text;
}

} // namespace kalo::platform
