#include "platform/Result.h"
#include "platform/SystemClock.h"
#include "platform/posix/PosixParallelDevice.h"
#include "support/DescriptorsKept.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

using namespace kalo::platform;

// No lp device here: a pty stands in for the transfers, and for a device
// that answers no status query. Waits run on the real clock, so each is
// bounded from above as well; an unplugged printer ends a 300 s write at once.
TEST(PosixParallelDevice, TransfersAreBoundedAndNothingLeaks)
{
    const kalo::test::DescriptorsKept kept;
    Clock& clock = SystemClock::Instance();
    PosixParallelDevice missing(clock), device(clock);
    EXPECT_EQ(missing.Open("/dev/kalo-no-such-lp"), kErrNoDevice);
    EXPECT_EQ(missing.LastFailure(),
              (Failure{"open", "/dev/kalo-no-such-lp", kErrNoDevice, ENOENT, "No such file or directory"}));

    kalo::test::PtyPair pty;
    ASSERT_EQ(device.Open(pty.path), kOk);
    uint8_t status = 0;
    EXPECT_EQ(device.GetStatus(status), kErrNotSupported);
    EXPECT_EQ(device.LastFailure(),
              (Failure{"status", pty.path, kErrNotSupported, ENOTTY, "Inappropriate ioctl for device"}));

    const std::string command = "\x1b@\x1dIB";
    const auto bytes = reinterpret_cast<const uint8_t*>(command.data());
    EXPECT_EQ(device.Write(bytes, 5, 1000000), 5);
    EXPECT_TRUE(device.LastFailure().Empty());
    char arrived[5] = {};
    ASSERT_EQ(::read(pty.master, arrived, 5), 5);
    EXPECT_EQ(std::string(arrived, 5), command);

    uint8_t buffer[4] = {};
    int64_t start = clock.NowMicros();
    EXPECT_EQ(device.Read(buffer, sizeof buffer, 30000, 10000), 0);
    EXPECT_GE(clock.NowMicros() - start, 30000);
    EXPECT_LT(clock.NowMicros() - start, 1000000);

    pty.CloseMaster(); // the printer is unplugged
    start = clock.NowMicros();
    EXPECT_EQ(device.Write(bytes, 5, 300000000), 0);
    EXPECT_LT(clock.NowMicros() - start, 1000000);
    EXPECT_EQ(device.LastFailure(), (Failure{"write", pty.path, kErrClosed, EIO, "off line or reporting a fault"}));
}
