#include "port/CPrinterPort.h"
#include "sim/InProcessPlatform.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace kalo;
using namespace kalo::platform;
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
        const char* what;
        uint8_t status;
        void (*fault)(InProcessPlatform&);
        std::string reason; // "" when it opens
    } rows[] = {
        {"ready", 0xD8, nullptr, ""},
        {"ready, acknowledge pulsing", 0x98, nullptr, ""},
        {"selected and busy", 0x58, nullptr, kNotReady + "busy" + kCheck},
        {"paper out", 0xF8, nullptr, kNotReady + "out of paper" + kCheck},
        {"off line", 0xC8, nullptr, kNotReady + "not selected (off line)" + kCheck},
        {"fault", 0xD0, nullptr, kNotReady + "reporting a fault" + kCheck},
        {"everything wrong", 0x20, nullptr,
         kNotReady + "busy, out of paper, not selected (off line), reporting a fault" + kCheck},
        {"status query fails", 0xD8, [](InProcessPlatform& m) { m.parallelStatusFails = true; },
         "status /dev/lp0: off line or reporting a fault (check that the printer is on and its cable is in)"},
        {"permission denied", 0xD8, [](InProcessPlatform& m) { m.parallelPermissionDenied = true; },
         "open /dev/lp0: Permission denied (add the user to the lp group)"},
        {"no such device", 0xD8, [](InProcessPlatform& m) { m.parallelPath = "/dev/lp1"; },
         "open /dev/lp0: No such file or directory (set KALO_PORT_LPT1 to the device)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        InProcessPlatform machine;
        machine.parallelStatus = row.status;
        if (row.fault)
            row.fault(machine);
        CPrinterPort port(machine);
        ASSERT_EQ(port.Configure(kLpt1), 1);
        EXPECT_EQ(port.Kind(), PortKind::Parallel);
        const bool ready = row.reason.empty();
        EXPECT_EQ(port.Open(), ready ? 1 : 0);
        EXPECT_EQ(port.FailureText(), row.reason);
        EXPECT_EQ(machine.openDevices, ready ? 1 : 0);
        if (ready)
            continue;
        machine.parallelStatus = 0xD8;
        machine.parallelStatusFails = machine.parallelPermissionDenied = false;
        machine.parallelPath = "/dev/lp0";
        EXPECT_EQ(port.Open(), 1);
        EXPECT_EQ(machine.openDevices, 1);
    }
}

// The write constant stays at 300000 ms whatever the settings say; only
// LPT1 is taken; a second Open touches nothing and a second opener is refused.
TEST(CParallelPort, ConfigureOpenTwiceAndASecondOpener)
{
    InProcessPlatform machine;
    PortSettings settings = kLpt1;
    settings.timeouts[4] = 5000;
    CPrinterPort port(machine), other(machine);
    for (const char* name : {"", "COM1", "lpt1"}) {
        SCOPED_TRACE(name);
        CParallelPort refused(machine);
        EXPECT_EQ(refused.Configure(PortSettings{name}), 0);
        EXPECT_EQ(refused.PortName(), "");
    }
    CParallelPort parallel(machine);
    ASSERT_EQ(parallel.Configure(settings), 1);
    EXPECT_EQ(parallel.WriteTotalConstant(), 300000u);
    EXPECT_EQ(parallel.PortName(), "LPT1");
    ASSERT_EQ(port.Configure(kLpt1), 1);
    ASSERT_EQ(port.Open(), 1);
    EXPECT_EQ(port.Open(), 1);
    EXPECT_EQ(machine.parallelStatusQueries, 1);
    EXPECT_EQ(machine.openDevices, 1);
    ASSERT_EQ(other.Configure(kLpt1), 1);
    EXPECT_EQ(other.Open(), 0);
    EXPECT_EQ(other.FailureText(), "open /dev/lp0: busy (another program holds it)");
    port.Close();
    EXPECT_EQ(machine.openDevices, 0);
    EXPECT_EQ(other.Open(), 1);
}

// Writes go out whole, stop at the 300000 ms bound when the printer takes
// nothing more, and stop at once when it runs out of paper or is unplugged;
// a read with nothing to read ends after 10 ms + 10 ms a byte.
TEST(CParallelPort, TransfersEndByTheirTimeOuts)
{
    const struct {
        const char* what;
        int stopsAfter;
        int errnoValue;
        int64_t waitedMs;
        std::string reason;
    } rows[] = {
        {"taken whole", -1, 0, 0, ""},
        {"printer stalls", 3, 0, 300000,
         "write /dev/lp0: only 3 of 10 bytes went out within the write time-out of 300 s"},
        {"paper runs out", 3, ENOSPC, 0, "write /dev/lp0: out of paper"},
        {"unplugged", 3, ENODEV, 0, "write /dev/lp0: No such device"},
    };
    const uint8_t data[10] = {0x1B, 0x40};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        InProcessPlatform machine;
        CPrinterPort port(machine);
        ASSERT_EQ(port.Configure(kLpt1), 1);
        ASSERT_EQ(port.Open(), 1);
        for (const uint32_t length : {1u, 4u}) {
            SCOPED_TRACE(length);
            uint8_t buffer[4] = {};
            const int64_t start = machine.Clock().NowMicros();
            EXPECT_EQ(port.Read(buffer, length), 0);
            EXPECT_EQ(machine.Clock().NowMicros() - start, int64_t(10 + 10 * length) * 1000);
            EXPECT_EQ(port.FailureText(), "");
        }
        machine.parallelWriteStopsAfter = row.stopsAfter;
        machine.parallelWriteErrno = row.errnoValue;
        const int64_t start = machine.Clock().NowMicros();
        EXPECT_EQ(port.Write(data, 10), row.reason.empty() ? 10 : 3);
        EXPECT_EQ(machine.Clock().NowMicros() - start, row.waitedMs * 1000);
        EXPECT_EQ(port.FailureText(), row.reason);
        EXPECT_EQ(port.Tally().CutShort(), !row.reason.empty());
        port.Close();
        EXPECT_EQ(machine.openDevices, 0);
        EXPECT_EQ(port.FailureText(), row.reason); // kept for the caller's message after Close
    }
}
