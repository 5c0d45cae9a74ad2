#include "platform/Failure.h"
#include "platform/Text.h"
#include "platform/posix/SystemFailure.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

using namespace kalo::platform;

// The ports' own failures (permission denied, missing and busy devices, the network ones, the namespace
// names, USB) are described in the port tests, and for real in kaloctl's; the busy advisory lock's errno in
// the serial device's.
TEST(DescribeFailure, SaysWhatFailedWhyAndWhatHelps)
{
    const std::tuple<Failure, const char*, const char*> rows[] = {
        {Failure{"open", "/dev/null", kErrNotSupported, ENOTTY, "not a serial device"}, "COM1",
         "open /dev/null: not a serial device (set KALO_PORT_COM1 to a serial device)"},
        // The dialout hint is for serial ports only.
        {SystemFailure("open", "/dev/pts/3", EACCES), "/dev/pts/3", "open /dev/pts/3: Permission denied"},
        {Failure{}, "COM1", ""},
    };
    for (const auto& [failure, portName, text] : rows)
        EXPECT_EQ(DescribeFailure(failure, portName), text);
    // A connection the peer or the system gave up on (ETIMEDOUT) is gone, not merely quiet.
    for (const int errnoValue : {EPIPE, ECONNRESET, ETIMEDOUT}) {
        const Failure failure = SystemFailure("write", "/dev/ttyS0", errnoValue);
        EXPECT_EQ(std::tie(failure.result, failure.reason, failure.systemError),
                  std::make_tuple(kErrClosed, std::string(std::strerror(errnoValue)), errnoValue));
    }
}

// (An escape sequence and a bell from a printer are kaloctl's test, through
// every command that shows outside text.)
TEST(Printable, EscapesWhatATerminalWouldActOn)
{
    const std::pair<std::string, const char*> rows[] = {
        {"V1.00 C:\\x", "V1.00 C:\\x"},
        {"a\tb\nc\x7f", "a\\x09b\\x0ac\\x7f"},
        {"a\xc2\x9b" "2J", "a\\xc2\\x9b2J"}, // a C1 control (CSI) is two escaped bytes
        {"Gr\xc3\xbc\xc3\x9f \xe6\xbc\xa2 \xf0\x9f\x96\xa8", "Gr\xc3\xbc\xc3\x9f \xe6\xbc\xa2 \xf0\x9f\x96\xa8"},
        {"\x80x\xe6\xbc", "\\x80x\\xe6\\xbc"}, // a lone continuation byte and a cut sequence
        // Overlong, surrogate and past U+10FFFF.
        {"\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80", "\\xc0\\xaf\\xed\\xa0\\x80\\xf4\\x90\\x80\\x80"},
        {std::string("a\0b", 3), "a\\x00b"},
    };
    for (const auto& [text, shown] : rows)
        EXPECT_EQ(Printable(text), shown);
}
