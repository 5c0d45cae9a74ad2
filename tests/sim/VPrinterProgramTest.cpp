// kalo-vprinter as other tools see it: its command line, first lines,
// paper output and wire log.
#include "platform/PosixPlatform.h"
#include "platform/RecordingMessageSink.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

using kalo::test::RunProgram;
using kalo::test::VirtualPrinterProcess;

namespace {

// One connection: the bytes out, then what comes back until replyLength or a pause of 2 s.
std::string Exchange(int port, const std::string& bytes, size_t replyLength)
{
    using namespace kalo::platform;
    RecordingMessageSink messages;
    PosixPlatform machine(messages);
    const auto socket = machine.NewStreamSocket();
    std::string reply;
    if (socket->Create() != kOk || socket->Connect("127.0.0.1", uint16_t(port), 2'000'000) != kOk)
        return reply;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    EXPECT_EQ(socket->Send(data, bytes.size(), 2'000'000), long(bytes.size()));
    uint8_t chunk[64];
    for (long n = 1; reply.size() < replyLength && (n = socket->Receive(chunk, sizeof chunk, 2'000'000)) > 0;)
        reply.append(reinterpret_cast<const char*>(chunk), size_t(n));
    return reply;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(VPrinterProgram, CommandLine)
{
    const auto help = RunProgram(KALO_VPRINTER_PATH, {"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* word : {"--tcp", "--pty", "--model", "--wire-log", "--paper", "--fault", "close-after=N",
                             "dsr-low", "stuck=SWITCH:PIN", "--switch", "--power-save", "--entrance-time"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{}, {"--tcp", "70000"}, {"--pty", "--fault", "nope"},
          {"--pty", "--fault", "close-after=x"}, {"--pty", "--fault", "garbage="},
          {"--pty", "--fault", "garbage=-1"}, {"--pty", "--fault", "stuck=7:1"}, {"--pty", "--fault", "stuck=6:9"},
          {"--pty", "--fault", "stuck=6"}, {"--pty", "--fault", "stuck=6:12"}, {"--pty", "--fault", "garbage=4294967296"}, {"--pty", "--switch", "9=1"}, {"--pty", "--switch", "7=10000001"},
          {"--pty", "--switch", "1=1000001"}, {"--pty", "--entrance-time", "300"}, {"--bogus"}}) {
        const auto run = RunProgram(KALO_VPRINTER_PATH, bad);
        EXPECT_EQ(run.status, 2) << ::testing::PrintToString(bad);
        EXPECT_FALSE(run.err.empty());
    }
}

TEST(VPrinterProgram, ServesTcpWritesPaperAndWireLogAndStopsCleanly)
{
    const std::string dir = ::testing::TempDir() + "kalo-vp-" + std::to_string(getpid());
    const std::string paper = dir + "-paper.txt", wire = dir + "-wire.log";
    VirtualPrinterProcess printer({"--tcp", "127.0.0.1:0", "--model", "TLR-740II", "--paper", paper,
                                   "--wire-log", wire});
    ASSERT_EQ(printer.tcpAddress, "127.0.0.1");
    ASSERT_GT(printer.tcpPort, 0);
    EXPECT_EQ(Exchange(printer.tcpPort, "\x1d\x49\x43", 11), std::string("_TLR-740II\0", 11));
    // One connection after another.
    EXPECT_EQ(Exchange(printer.tcpPort, "Hello\n\x1d\x49\x03", 1), "c");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(printer.process.Stop(), 0);
    EXPECT_EQ(ReadFile(paper), "Hello\n");
    const std::string log = ReadFile(wire);
    EXPECT_NE(log.find(" rx 1d 49 43\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" tx 5f 54 4c 52 2d 37 34 30 49 49 00\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" rx 48 65 6c 6c 6f 0a 1d 49 03\n"), std::string::npos) << log;
}

namespace {

// Fields of /proc/PID: CPU seconds used so far, and the peak resident size in kB.
double CpuSeconds(int pid)
{
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14 || i == 15)
            ticks += std::stol(field);
    }
    return double(ticks) / double(sysconf(_SC_CLK_TCK));
}

long PeakRssKb(int pid)
{
    std::istringstream status(ReadFile("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

} // namespace

// A reply held back by --fault slow is waited for on the clock, not by polling
// a writable socket: the printer idles, and the reply still comes on time.
TEST(VPrinterProgram, SlowReplyWaitsWithoutSpinning)
{
    VirtualPrinterProcess printer({"--tcp", "127.0.0.1:0", "--fault", "slow", "--slow-delay", "1500"});
    const double cpuBefore = CpuSeconds(printer.process.Pid());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Exchange(printer.tcpPort, "\x1d\x49\x03", 1), "c");
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(1490));
    EXPECT_LT(CpuSeconds(printer.process.Pid()) - cpuBefore, 0.05);
}

// A client that sends queries and never reads is dropped once its replies
// pile up, instead of growing the printer's memory without end.
TEST(VPrinterProgram, ClientThatNeverReadsIsDroppedWithMemoryBounded)
{
    using namespace kalo::platform;
    VirtualPrinterProcess printer({"--tcp", "127.0.0.1:0"});
    RecordingMessageSink messages;
    PosixPlatform machine(messages);
    const auto socket = machine.NewStreamSocket();
    ASSERT_EQ(socket->Create(), kOk);
    ASSERT_EQ(socket->Connect("127.0.0.1", uint16_t(printer.tcpPort), 2'000'000), kOk);
    std::string queries;
    for (int i = 0; i < 1'000'000; ++i)
        queries += "\x1d\x49\x43";
    socket->Send(reinterpret_cast<const uint8_t*>(queries.data()), queries.size(), 10'000'000);
    // What the kernel buffered still comes, then the end of the connection.
    std::vector<uint8_t> chunk(1 << 16);
    long n = 1;
    while ((n = socket->Receive(chunk.data(), chunk.size(), 5'000'000)) > 0) {
    }
    EXPECT_NE(n, kErrTimeout) << "the printer kept the connection";
    EXPECT_LT(PeakRssKb(printer.process.Pid()), 32 * 1024);
    // The next client is served.
    EXPECT_EQ(Exchange(printer.tcpPort, "\x1d\x49\x03", 1), "c");
}
