#include "platform/Result.h"
#include "platform/SystemClock.h"
#include "platform/posix/PosixParallelDevice.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

using namespace kalo::platform;

using kalo::test::PtyPair;

// No lp device here: a pty stands in for the transfers, and for a device
// that answers no status query. Waits run on the real clock, so each is
// bounded from above as well; an unplugged printer ends a 300 s write at once.
TEST(PosixParallelDevice, TransfersAreBoundedAndNothingLeaks)
{
    const int before = kalo::test::OpenDescriptorCount();
    {
        Clock& clock = SystemClock::Instance();
        PosixParallelDevice missing(clock);
        EXPECT_EQ(missing.Open("/dev/kalo-no-such-lp"), kErrNoDevice);
        EXPECT_EQ(missing.LastFailure(),
                  (Failure{"open", "/dev/kalo-no-such-lp", kErrNoDevice, ENOENT, "No such file or directory"}));

        PtyPair pty;
        PosixParallelDevice device(clock);
        ASSERT_EQ(device.Open(pty.path), kOk);
        uint8_t status = 0;
        EXPECT_EQ(device.GetStatus(status), kErrNotSupported);
        EXPECT_EQ(device.LastFailure(),
                  (Failure{"status", pty.path, kErrNotSupported, ENOTTY, "Inappropriate ioctl for device"}));

        const uint8_t command[] = {0x1B, 0x40, 0x1D, 0x49, 0x42};
        EXPECT_EQ(device.Write(command, sizeof command, 1000000), long(sizeof command));
        EXPECT_TRUE(device.LastFailure().Empty());
        uint8_t arrived[sizeof command] = {};
        ASSERT_EQ(::read(pty.master, arrived, sizeof arrived), ssize_t(sizeof arrived));
        EXPECT_EQ(std::vector<uint8_t>(arrived, std::end(arrived)), std::vector<uint8_t>(command, std::end(command)));

        uint8_t buffer[4] = {};
        int64_t start = clock.NowMicros();
        EXPECT_EQ(device.Read(buffer, sizeof buffer, 30000, 10000), 0);
        const int64_t waited = clock.NowMicros() - start;
        EXPECT_GE(waited, 30000);
        EXPECT_LT(waited, 1000000);

        pty.CloseMaster(); // the printer is unplugged
        start = clock.NowMicros();
        EXPECT_EQ(device.Write(command, sizeof command, 300000000), 0);
        EXPECT_LT(clock.NowMicros() - start, 1000000);
        EXPECT_EQ(device.LastFailure(), (Failure{"write", pty.path, kErrClosed, EIO, "off line or reporting a fault"}));
    }
    EXPECT_EQ(kalo::test::OpenDescriptorCount(), before);
}
