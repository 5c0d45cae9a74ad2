#include "port/CPrinterPort.h"
#include "sim/InProcessPlatform.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace kalo;
using sim::InProcessPlatform;

namespace {

const PortSettings kLpt1 = LinePortSettings("LPT1", 9600, 8, 0, 0, 0);
const std::string kNotReady = "status /dev/lp0: the printer is not ready: ";
const std::string kCheck = " (check that the printer is on, on line and has paper)";

} // namespace

// Only a printer that is selected and nothing else is opened; any refusal
// leaves the device closed and says why, and the port opens once the printer
// is ready again.
TEST(CParallelPort, OpensOnlyAPrinterThatIsSelectedAndNothingElse)
{
    const struct {
        uint8_t status;
        void (*fault)(InProcessPlatform&);
        std::string reason; // "" when it opens
    } rows[] = {
        {0xD8, nullptr, ""},
        {0x98, nullptr, ""}, // acknowledge pulsing
        {0x58, nullptr, kNotReady + "busy" + kCheck}, {0xF8, nullptr, kNotReady + "out of paper" + kCheck},
        {0xC8, nullptr, kNotReady + "not selected (off line)" + kCheck},
        {0xD0, nullptr, kNotReady + "reporting a fault" + kCheck},
        {0x20, nullptr, kNotReady + "busy, out of paper, not selected (off line), reporting a fault" + kCheck},
        {0xD8, [](InProcessPlatform& m) { m.parallelStatusFails = true; },
         "status /dev/lp0: off line or reporting a fault (check that the printer is on and its cable is in)"},
        {0xD8, [](InProcessPlatform& m) { m.parallelPermissionDenied = true; },
         "open /dev/lp0: Permission denied (add the user to the lp group)"},
        {0xD8, [](InProcessPlatform& m) { m.parallelPath = "/dev/lp1"; },
         "open /dev/lp0: No such file or directory (set KALO_PORT_LPT1 to the device)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.status));
        InProcessPlatform machine;
        machine.parallelStatus = row.status;
        if (row.fault)
            row.fault(machine);
        CPrinterPort port(machine);
        ASSERT_EQ(port.Configure(kLpt1), 1);
        EXPECT_EQ(port.Kind(), PortKind::Parallel);
        EXPECT_EQ(port.Open(), row.reason.empty() ? 1 : 0);
        EXPECT_EQ(port.FailureText(), row.reason);
        EXPECT_EQ(machine.openDevices, row.reason.empty() ? 1 : 0);
        machine.parallelStatus = 0xD8;
        machine.parallelStatusFails = machine.parallelPermissionDenied = false;
        machine.parallelPath = "/dev/lp0";
        EXPECT_EQ(port.Open(), 1);
        EXPECT_EQ(machine.openDevices, 1);
    }
}

// Only LPT1 is taken, and a second Open touches nothing. (A second opener is
// refused in the main window's test.)
TEST(CParallelPort, ConfigureAndOpenTwice)
{
    InProcessPlatform machine;
    for (const char* name : {"", "COM1", "lpt1"})
        EXPECT_EQ(CParallelPort(machine).Configure(PortSettings{name}), 0) << name;
    CPrinterPort port(machine);
    ASSERT_EQ(port.Configure(kLpt1), 1);
    ASSERT_EQ(port.Open() + port.Open(), 2);
    EXPECT_EQ(machine.parallelStatusQueries, 1);
    EXPECT_EQ(machine.openDevices, 1);
}

// Writes go out whole, stop at the 300000 ms bound (whatever the settings
// say) when the printer takes nothing more, and stop at once when it runs
// out of paper or is unplugged; a read with nothing to read ends after
// 10 ms + 10 ms a byte.
TEST(CParallelPort, TransfersEndByTheirTimeOuts)
{
    const struct {
        int stopsAfter;
        int errnoValue;
        int64_t waitedMs;
        std::string reason;
    } rows[] = {
        {-1, 0, 0, ""},
        {3, 0, 300000, "write /dev/lp0: only 3 of 10 bytes went out within the write time-out of 300 s"},
        {3, ENOSPC, 0, "write /dev/lp0: out of paper"},
        {3, ENODEV, 0, "write /dev/lp0: No such device"},
    };
    const uint8_t data[10] = {0x1B, 0x40};
    PortSettings settings = kLpt1;
    settings.timeouts[4] = 5000;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reason);
        InProcessPlatform machine;
        CPrinterPort port(machine);
        ASSERT_EQ(port.Configure(settings), 1);
        ASSERT_EQ(port.Open(), 1);
        uint8_t buffer[4] = {};
        int64_t start = machine.Clock().NowMicros();
        EXPECT_EQ(port.Read(buffer, 1) + port.Read(buffer, 4), 0);
        EXPECT_EQ(machine.Clock().NowMicros() - start, (20 + 50) * 1000);
        machine.parallelWriteStopsAfter = row.stopsAfter;
        machine.parallelWriteErrno = row.errnoValue;
        start = machine.Clock().NowMicros();
        EXPECT_EQ(port.Write(data, 10), row.reason.empty() ? 10 : 3);
        EXPECT_EQ(machine.Clock().NowMicros() - start, row.waitedMs * 1000);
        EXPECT_EQ(port.Tally().CutShort(), !row.reason.empty());
        port.Close();
        EXPECT_EQ(machine.openDevices, 0);
        EXPECT_EQ(port.FailureText(), row.reason); // kept for the caller's message after Close
    }
}
