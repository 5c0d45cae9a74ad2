// The port kinds on real links to kalo-vprinter: a pseudo-terminal mapped to a
// COM port, and loopback TCP. Real time, so only what the virtual clock cannot
// show is checked here, with generous margins.
#include "platform/PosixPlatform.h"
#include "sim/RecordingMessageSink.h"
#include "port/CPrinterPort.h"
#include "support/ChildProcess.h"
#include "support/FakeSysfs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

using namespace kalo;
using kalo::test::VirtualPrinterProcess;

namespace {

using Clock = std::chrono::steady_clock;

double MillisSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

platform::PortMap MapCom1To(const std::string& path)
{
    return platform::PortMap([path](const char* name) -> const char* {
        return std::string(name) == "KALO_PORT_COM1" ? path.c_str() : nullptr;
    });
}

} // namespace

TEST(SerialOverPty, TimeOutsHoldOnARealDevice)
{
    VirtualPrinterProcess printer({"--pty", "--firmware", "ABC"});
    ASSERT_FALSE(printer.ptyPath.empty());
    sim::RecordingMessageSink messages;
    platform::PosixPlatform machine(messages, MapCom1To(printer.ptyPath));
    const int descriptors = test::OpenDescriptorCount();
    {
        CPrinterPort port(machine);
        ASSERT_EQ(port.Configure(LinePortSettings("COM1", 9600, 8, 0, 0, 0)), 1);
        ASSERT_EQ(port.Open(), 1);

        // A process on a loaded machine may wait hundreds of milliseconds for
        // a core, so the upper bounds are ten times what they tell apart.
        uint8_t buffer[1000];
        auto start = Clock::now();
        EXPECT_EQ(port.Read(buffer, 1), 0);
        const double idle = MillisSince(start);
        EXPECT_GE(idle, 105);
        EXPECT_LT(idle, 1100);

        const uint8_t query[] = {0x1D, 0x49, 0x41};
        ASSERT_EQ(port.Write(query, 3), 3);
        std::memset(buffer, 0xEE, sizeof buffer);
        start = Clock::now();
        EXPECT_EQ(port.Read(buffer, 1000), 5);
        EXPECT_LT(MillisSince(start), 1010); // ended by the interval, not the 10.1 s total
        EXPECT_EQ(std::memcmp(buffer, "_ABC", 5), 0);
        EXPECT_EQ(buffer[5], 0xEE);
        port.Close();
    }
    EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
    EXPECT_TRUE(messages.Messages().empty());
}

TEST(EthernetOverLoopback, PiecesArriveWithPausesBetween)
{
    const std::string wireLog = ::testing::TempDir() + "kalo-" + std::to_string(getpid()) + "-pieces.log";
    {
        VirtualPrinterProcess printer({"--tcp", "0", "--wire-log", wireLog, "--paper", "/dev/null"});
        ASSERT_GT(printer.tcpPort, 0);
        sim::RecordingMessageSink messages;
        platform::PosixPlatform machine(messages);
        CPrinterPort port(machine);
        ASSERT_EQ(port.Configure(NetworkPortSettings(printer.tcpAddress, uint32_t(printer.tcpPort))), 1);
        ASSERT_EQ(port.Open(), 1);
        std::vector<uint8_t> data(10000, 'k');
        const auto start = Clock::now();
        EXPECT_EQ(port.Write(data.data(), 10000), 10000);
        EXPECT_GE(MillisSince(start), 1000);
        port.Close();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // Group what the printer received into bursts split by the pauses.
    std::ifstream log(wireLog);
    std::vector<size_t> bursts;
    long lastMs = -100000;
    for (std::string line; std::getline(log, line);) {
        const size_t rx = line.find(" rx");
        if (rx == std::string::npos)
            continue;
        if (std::stol(line) - lastMs > 300)
            bursts.push_back(0);
        bursts.back() += (line.size() - rx - 3) / 3; // " xx" a byte
        lastMs = std::stol(line);
    }
    EXPECT_EQ(bursts, (std::vector<size_t>{4096, 4096, 1808}));
}

// A refused connection shows its box. (A missing device is shown on the virtual clock, by the serial
// device and by kaloctl for real.)
TEST(RealLinks, ARefusedConnectionLeavesNothingOpen)
{
    sim::RecordingMessageSink messages;
    platform::PosixPlatform machine(messages);
    const int descriptors = test::OpenDescriptorCount();
    const uint16_t closed = test::ClosedLoopbackPort();
    {
        CPrinterPort port(machine);
        ASSERT_EQ(port.Configure(NetworkPortSettings("127.0.0.1", closed)), 1);
        EXPECT_EQ(port.Open(), 0);
        EXPECT_EQ(platform::DescribeFailure(port.LastFailure(), "127.0.0.1"),
                  "connect 127.0.0.1:" + std::to_string(closed) + ": Connection refused");
    }
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text,
              "Error : Failed to connected \r\nPlease, check IP port configuration in printer control pannel \"PORT\"");
    EXPECT_EQ(messages.Messages()[0].caption, "Error");
    EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
}

// A printer that goes away mid-exchange is a lost link on both kinds of line,
// whether the read or the next write finds it out.
TEST(RealLinks, APrinterThatHungUpIsALostLink)
{
    for (const bool overTcp : {false, true}) {
        SCOPED_TRACE(overTcp ? "TCP, printer closes after 2 bytes" : "pty, printer closes its end");
        test::PtyPair pty;
        VirtualPrinterProcess printer({"--tcp", "0", "--fault", "close-after=2", "--paper", "/dev/null"});
        ASSERT_GT(printer.tcpPort, 0);
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
    ASSERT_FALSE(printer->ptyPath.empty());
    tree.LinkNode(0, printer->ptyPath);
    setenv("KALO_SYSFS_ROOT", tree.sysfsRoot.c_str(), 1);
    setenv("KALO_DEV_ROOT", tree.devRoot.c_str(), 1);
    sim::RecordingMessageSink messages;
    platform::PosixPlatform machine(messages);
    machine.UsbWatcher(); // the platform's monitor lives as long as the platform
    const int descriptors = test::OpenDescriptorCount();
    {
        CPrinterPort port(machine);
        ASSERT_EQ(port.Configure(PortSettings{"742plusII:" + tree.devRoot + "/usb/lp0?vid_7a3c&pid_001e&serial=K1"}), 1);
        ASSERT_EQ(port.Open(), 1);
        const uint8_t query[] = {0x1D, 0x49, 0x41};
        uint8_t buffer[16];
        ASSERT_EQ(port.Write(query, 3), 3);
        EXPECT_EQ(port.Read(buffer, sizeof buffer), 5);
        EXPECT_EQ(std::memcmp(buffer, "_ABC", 5), 0);

        printer.reset(); // pulled out
        EXPECT_EQ(port.Write(query, 3), 0);
        printer = std::make_unique<VirtualPrinterProcess>(std::vector<std::string>{"--pty", "--firmware", "XYZ"});
        std::filesystem::remove(tree.devRoot + "/usb/lp0");
        tree.LinkNode(0, printer->ptyPath); // back in, on another pseudo-terminal
        ASSERT_EQ(port.Write(query, 3), 3);
        EXPECT_EQ(port.Read(buffer, sizeof buffer), 5);
        EXPECT_EQ(std::memcmp(buffer, "_XYZ", 5), 0);
        port.Close();
    }
    EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
    unsetenv("KALO_SYSFS_ROOT");
    unsetenv("KALO_DEV_ROOT");
}
