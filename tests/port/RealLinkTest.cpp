// The port kinds on real links to kalo-vprinter: a pseudo-terminal mapped to a
// COM port, loopback TCP and a fake sysfs tree. Real time, so only what the
// virtual clock cannot show is checked here, with generous margins.
#include "platform/PosixPlatform.h"
#include "sim/RecordingMessageSink.h"
#include "port/CPrinterPort.h"
#include "support/DescriptorsKept.h"
#include "support/FakeSysfs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>

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

// The firmware query's reply, or what was read instead.
std::string Firmware(CPrinterPort& port)
{
    uint8_t buffer[16];
    const int got = port.Write(kFirmwareQuery, 3) == 3 ? port.Read(buffer, sizeof buffer) : 0;
    return std::string(reinterpret_cast<char*>(buffer), size_t(std::max(got, 0)));
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

// A fake sysfs tree whose printer node is a pseudo-terminal served by
// kalo-vprinter, pulled out and plugged back in between two writes: the port
// reopens the node, talks to the new printer and leaves no descriptor behind.
// (Listing and connecting are shown by the window and kaloctl tests.)
TEST(UsbOverPty, ReopenedAfterAReplugBetweenTwoWrites)
{
    test::FakeSysfs tree;
    tree.AddPrinter(0, "7a3c", "001e", "K1", "1-1");
    auto printer = std::make_unique<VirtualPrinterProcess>(std::vector<std::string>{"--pty", "--firmware", "ABC"});
    tree.LinkNode(0, printer->ptyPath);
    setenv("KALO_SYSFS_ROOT", tree.sysfsRoot.c_str(), 1);
    setenv("KALO_DEV_ROOT", tree.devRoot.c_str(), 1);
    sim::RecordingMessageSink messages;
    platform::PosixPlatform machine(messages);
    machine.UsbWatcher(); // the platform's monitor lives as long as the platform
    const kalo::test::DescriptorsKept kept;
    CPrinterPort port(machine);
    ASSERT_EQ(port.Configure(PortSettings{"742plusII:" + tree.devRoot + "/usb/lp0?vid_7a3c&pid_001e&serial=K1"}), 1);
    ASSERT_EQ(port.Open(), 1);
    EXPECT_EQ(Firmware(port), std::string("_ABC", 5));

    printer.reset(); // pulled out
    EXPECT_EQ(port.Write(kFirmwareQuery, 3), 0);
    printer = std::make_unique<VirtualPrinterProcess>(std::vector<std::string>{"--pty", "--firmware", "XYZ"});
    std::filesystem::remove(tree.devRoot + "/usb/lp0");
    tree.LinkNode(0, printer->ptyPath); // back in, on another pseudo-terminal
    EXPECT_EQ(Firmware(port), std::string("_XYZ", 5));
    unsetenv("KALO_SYSFS_ROOT");
    unsetenv("KALO_DEV_ROOT");
}
