#include "platform/Result.h"
#include "platform/posix/PosixSerialDevice.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace kalo::platform;

using kalo::test::PtyPair;

TEST(PosixSerialDevice, RefusesMissingBusyAndNonTerminalDevices)
{
    const int before = kalo::test::OpenDescriptorCount();
    {
        PtyPair pty;
        PosixSerialDevice missing;
        EXPECT_EQ(missing.Open("/dev/kalo-no-such-device"), kErrNoDevice);
        EXPECT_EQ(missing.LastFailure(),
                  (Failure{"open", "/dev/kalo-no-such-device", kErrNoDevice, ENOENT, "No such file or directory"}));
        PosixSerialDevice notATerminal;
        EXPECT_EQ(notATerminal.Open("/dev/null"), kErrNotSupported);
        EXPECT_EQ(notATerminal.LastFailure(),
                  (Failure{"open", "/dev/null", kErrNotSupported, ENOTTY, "not a serial device"}));

        PosixSerialDevice first, second;
        ASSERT_EQ(first.Open(pty.path), kOk);
        EXPECT_TRUE(first.LastFailure().Empty());
        EXPECT_EQ(second.Open(pty.path), kErrBusy); // the advisory lock holds even for root
        EXPECT_EQ(second.LastFailure(),
                  (Failure{"open", pty.path, kErrBusy, EWOULDBLOCK, "Resource temporarily unavailable"}));
        first.Close();
        EXPECT_EQ(second.Open(pty.path), kOk);
    }
    EXPECT_EQ(kalo::test::OpenDescriptorCount(), before);
}

// Bytes both ways and the waits are shown through the serial port on a real
// pty in the port tests.
TEST(PosixSerialDevice, SetsTheLine)
{
    PtyPair pty;
    PosixSerialDevice device;
    ASSERT_EQ(device.Open(pty.path), kOk);
    unsigned lines = 0;
    EXPECT_EQ(device.GetModemStatus(lines), kErrNotSupported); // a pty has no modem lines

    LineSettings line;
    ASSERT_EQ(device.GetLine(line), kOk);
    line.baudRate = 12345;
    EXPECT_EQ(device.SetLine(line), kErrArgument);
    EXPECT_EQ(device.LastFailure(), (Failure{"set line", pty.path, kErrArgument, EINVAL, "Invalid argument"}));
    line.baudRate = 19200;
    line.byteSize = 8;
    line.parity = 3;
    line.stopBits = 2;
    line.outX = line.inX = true;
    line.outxCtsFlow = true;
    ASSERT_EQ(device.SetLine(line), kOk);
    LineSettings read;
    ASSERT_EQ(device.GetLine(read), kOk);
    EXPECT_EQ(read.baudRate, 19200u);
    EXPECT_TRUE(read.outX);
    EXPECT_TRUE(read.inX);
    EXPECT_TRUE(read.outxCtsFlow);
    EXPECT_EQ(read.stopBits, 2);
}
