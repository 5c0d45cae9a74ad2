#include "platform/Failure.h"
#include "platform/Text.h"
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

TEST(Printable, EscapesWhatATerminalWouldActOn)
{
    const struct {
        const char* what;
        std::string text;
        const char* shown;
    } rows[] = {
        {"plain text and backslashes", "V1.00 C:\\x", "V1.00 C:\\x"},
        {"an escape sequence and a bell", "V1\x1b]0;pwned\x07\x1b[2J", "V1\\x1b]0;pwned\\x07\\x1b[2J"},
        {"tab, newline and DEL", "a\tb\nc\x7f", "a\\x09b\\x0ac\\x7f"},
        {"a C1 control (CSI) is two escaped bytes", "a\xc2\x9b" "2J", "a\\xc2\\x9b2J"},
        {"valid UTF-8 passes", "Gr\xc3\xbc\xc3\x9f \xe6\xbc\xa2 \xf0\x9f\x96\xa8", "Gr\xc3\xbc\xc3\x9f \xe6\xbc\xa2 \xf0\x9f\x96\xa8"},
        {"a lone continuation byte and a cut sequence", "\x80x\xe6\xbc", "\\x80x\\xe6\\xbc"},
        {"overlong, surrogate and past U+10FFFF", "\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80",
         "\\xc0\\xaf\\xed\\xa0\\x80\\xf4\\x90\\x80\\x80"},
        {"a NUL inside", std::string("a\0b", 3), "a\\x00b"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Printable(row.text), row.shown) << row.what;
}
