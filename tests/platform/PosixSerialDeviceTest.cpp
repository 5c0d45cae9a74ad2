#include "platform/Result.h"
#include "platform/posix/PosixSerialDevice.h"
#include "support/DescriptorsKept.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace kalo::platform;

// Bytes both ways and the waits are shown through the serial port on a real
// pty in the port tests.
TEST(PosixSerialDevice, RefusesMissingBusyAndNonTerminalDevicesAndSetsTheLine)
{
    const kalo::test::DescriptorsKept kept;
    kalo::test::PtyPair pty;
    PosixSerialDevice missing, notATerminal, first, second;
    EXPECT_EQ(missing.Open("/dev/kalo-no-such-device"), kErrNoDevice);
    EXPECT_EQ(missing.LastFailure(),
              (Failure{"open", "/dev/kalo-no-such-device", kErrNoDevice, ENOENT, "No such file or directory"}));
    EXPECT_EQ(notATerminal.Open("/dev/null"), kErrNotSupported);
    EXPECT_EQ(notATerminal.LastFailure(),
              (Failure{"open", "/dev/null", kErrNotSupported, ENOTTY, "not a serial device"}));
    ASSERT_EQ(first.Open(pty.path), kOk);
    EXPECT_EQ(second.Open(pty.path), kErrBusy); // the advisory lock holds even for root
    EXPECT_EQ(second.LastFailure(),
              (Failure{"open", pty.path, kErrBusy, EWOULDBLOCK, "Resource temporarily unavailable"}));
    first.Close();
    ASSERT_EQ(second.Open(pty.path), kOk);

    unsigned lines = 0;
    EXPECT_EQ(second.GetModemStatus(lines), kErrNotSupported); // a pty has no modem lines
    LineSettings line, read;
    ASSERT_EQ(second.GetLine(line), kOk);
    line.baudRate = 12345;
    EXPECT_EQ(second.SetLine(line), kErrArgument);
    EXPECT_EQ(second.LastFailure(), (Failure{"set line", pty.path, kErrArgument, EINVAL, "Invalid argument"}));
    line.baudRate = 19200, line.byteSize = 8, line.parity = 3, line.stopBits = 2;
    line.outX = line.inX = line.outxCtsFlow = true;
    ASSERT_EQ(second.SetLine(line), kOk);
    ASSERT_EQ(second.GetLine(read), kOk);
    EXPECT_EQ(std::tie(read.baudRate, read.outX, read.inX, read.outxCtsFlow, read.stopBits),
              std::make_tuple(19200u, true, true, true, uint8_t(2)));
}
