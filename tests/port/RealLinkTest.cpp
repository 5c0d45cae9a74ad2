// A serial port on a real link to kalo-vprinter: a pseudo-terminal mapped to a
// COM port. Real time, so only what the virtual clock cannot show is checked
// here, with generous margins.
#include "platform/PosixPlatform.h"
#include "sim/RecordingMessageSink.h"
#include "port/CPrinterPort.h"
#include "support/DescriptorsKept.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

using namespace kalo;
using kalo::test::VirtualPrinterProcess;

namespace {

const uint8_t kFirmwareQuery[] = {0x1D, 0x49, 0x41};

platform::PortMap MapCom1To(const std::string& path)
{
    return platform::PortMap([path](const char* name) -> const char* {
        return std::string(name) == "KALO_PORT_COM1" ? path.c_str() : nullptr;
    });
}

} // namespace

// The time-outs hold on a real device, and a printer that goes away
// mid-exchange is a lost link, whether the read or the next write finds it
// out. (On TCP the port's reading of a closed connection is shown on the
// virtual clock, and the system's errors as a lost link by the failure tests.)
TEST(SerialOverPty, TimeOutsHoldAndAHangUpIsALostLink)
{
    const kalo::test::DescriptorsKept kept; // the printer's own pipe goes with it
    auto printer = std::make_unique<VirtualPrinterProcess>(std::vector<std::string>{"--pty", "--firmware", "ABC"});
    sim::RecordingMessageSink messages;
    platform::PosixPlatform machine(messages, MapCom1To(printer->ptyPath));
    CPrinterPort port(machine);
    ASSERT_EQ(port.Configure(LinePortSettings("COM1", 9600, 8, 0, 0, 0)), 1);
    ASSERT_EQ(port.Open(), 1);
    // A process on a loaded machine may wait hundreds of milliseconds for
    // a core, so the upper bounds are ten times what they tell apart.
    uint8_t buffer[1000];
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    EXPECT_EQ(port.Read(buffer, 1), 0);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(105));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1100));

    ASSERT_EQ(port.Write(kFirmwareQuery, 3), 3);
    std::memset(buffer, 0xEE, sizeof buffer);
    start = Clock::now();
    EXPECT_EQ(port.Read(buffer, 1000), 5);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1010)); // ended by the interval, not the 10.1 s total
    EXPECT_EQ(std::memcmp(buffer, "_ABC\0\xEE", 6), 0);
    EXPECT_FALSE(port.LinkLost());
    EXPECT_TRUE(messages.Messages().empty());

    printer.reset(); // it hangs up
    EXPECT_EQ(port.Read(buffer, 16), 0);
    EXPECT_EQ(port.LastFailure().call, "read");
    EXPECT_TRUE(port.LinkLost()) << platform::DescribeFailure(port.LastFailure(), "COM1");
    port.Write(kFirmwareQuery, 3); // the next write finds the same
    EXPECT_TRUE(port.LinkLost()) << platform::DescribeFailure(port.LastFailure(), "COM1");
    EXPECT_EQ(port.LastFailure().call, "write");
}
