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
#include <thread>

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

TEST(SerialOverPty, TimeOutsHoldOnARealDevice)
{
    VirtualPrinterProcess printer({"--pty", "--firmware", "ABC"});
    sim::RecordingMessageSink messages;
    platform::PosixPlatform machine(messages, MapCom1To(printer.ptyPath));
    const kalo::test::DescriptorsKept kept;
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
    EXPECT_TRUE(messages.Messages().empty());
}

// A printer that goes away mid-exchange is a lost link on both kinds of line,
// whether the read or the next write finds it out.
TEST(RealLinks, APrinterThatHungUpIsALostLink)
{
    for (const bool overTcp : {false, true}) {
        SCOPED_TRACE(overTcp ? "TCP, printer closes after 2 bytes" : "pty, printer closes its end");
        test::PtyPair pty;
        VirtualPrinterProcess printer({"--tcp", "0", "--fault", "close-after=2", "--paper", "/dev/null"});
        sim::RecordingMessageSink messages;
        platform::PosixPlatform machine(messages, MapCom1To(pty.path));
        CPrinterPort port(machine);
        ASSERT_EQ(port.Configure(overTcp ? NetworkPortSettings(printer.tcpAddress, uint32_t(printer.tcpPort))
                                         : LinePortSettings("COM1", 9600, 8, 0, 0, 0)),
                  1);
        ASSERT_EQ(port.Open(), 1);
        const uint8_t init[] = {0x1B, 0x40};
        ASSERT_EQ(port.Write(init, 2), 2);
        EXPECT_FALSE(port.LinkLost());
        if (!overTcp)
            pty.CloseMaster();

        uint8_t buffer[16] = {};
        EXPECT_EQ(port.Read(buffer, 16), 0);
        EXPECT_EQ(port.LastFailure().call, overTcp ? "receive" : "read");
        EXPECT_TRUE(port.LinkLost()) << platform::DescribeFailure(port.LastFailure(), "COM1");
        // The next write finds the same.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        port.Write(init, 2);
        port.Write(init, 2);
        EXPECT_TRUE(port.LinkLost()) << platform::DescribeFailure(port.LastFailure(), "COM1");
        EXPECT_EQ(port.LastFailure().call, overTcp ? "send" : "write");
    }
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
