#include "platform/Failure.h"
#include "platform/posix/SystemFailure.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace kalo::platform;

// The ports' own failures (permission denied, missing and busy devices, the network ones, the namespace
// names) are described in the port tests, and for real in kaloctl's; the busy advisory lock's errno in
// the serial device's.
TEST(DescribeFailure, SaysWhatFailedWhyAndWhatHelps)
{
    const struct {
        const char* what;
        Failure failure;
        const char* portName;
        const char* text;
    } rows[] = {
        {"not a terminal", Failure{"open", "/dev/null", kErrNotSupported, ENOTTY, "not a serial device"}, "COM1",
         "open /dev/null: not a serial device (set KALO_PORT_COM1 to a serial device)"},
        // The dialout hint is for serial ports only.
        {"permission denied on a path", SystemFailure("open", "/dev/pts/3", EACCES), "/dev/pts/3",
         "open /dev/pts/3: Permission denied"},
        {"permission denied on a USB printer", SystemFailure("open", "/dev/usb/lp0", EACCES),
         "740II:/dev/usb/lp0?vid_7a3c&pid_001f&serial=",
         "open /dev/usb/lp0: Permission denied (the udev rule for the printer or the lp group grants access)"},
        {"no hint for a hang-up", Failure{"read", "/dev/ttyS0", kErrClosed, 0, kHungUpReason}, "COM1",
         "read /dev/ttyS0: the device hung up"},
        {"nothing failed", Failure{}, "COM1", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(DescribeFailure(row.failure, row.portName), row.text) << row.what;
}

TEST(SystemFailure, MapsErrnoOnceWithTheSystemsText)
{
    const struct {
        int errnoValue;
        Result result;
        const char* text;
    } rows[] = {
        {EPIPE, kErrClosed, "Broken pipe"},
        {ECONNRESET, kErrClosed, "Connection reset by peer"},
        // An established connection the system gave up on is gone, not merely quiet.
        {ETIMEDOUT, kErrClosed, "Connection timed out"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const Failure failure = SystemFailure("write", "/dev/ttyS0", row.errnoValue);
        EXPECT_EQ(failure.result, row.result);
        EXPECT_EQ(failure.reason, row.text);
        EXPECT_EQ(failure.systemError, row.errnoValue);
    }
}
