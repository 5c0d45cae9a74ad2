// kalo-vprinter as other tools see it: its command line, first lines,
// paper output and wire log.
#include "sim/VPrinterServer.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <fstream>
#include <memory>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using kalo::test::RunProgram;
using kalo::test::VirtualPrinterProcess;

namespace {

// A client on a plain socket, which can half-close.
struct Client {
    explicit Client(int port) : fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        const sockaddr_in address{AF_INET, htons(uint16_t(port)), {htonl(INADDR_LOOPBACK)}, {}};
        const timeval limit{10, 0};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        EXPECT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    }
    ~Client() { close(fd); }
    void Send(const std::string& bytes) { send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // Up to length bytes; fewer when the connection ends (ended) or nothing comes within timeoutMs.
    std::string Read(size_t length = SIZE_MAX, int timeoutMs = 5000)
    {
        std::string got;
        char chunk[4096];
        for (long n = 1; got.size() < length && n > 0;) {
            pollfd p{fd, POLLIN, 0};
            n = poll(&p, 1, timeoutMs) == 1 ? read(fd, chunk, std::min(sizeof chunk, length - got.size())) : -2;
            got.append(chunk, size_t(std::max(n, 0L)));
            ended = n == 0 || n == -1;
        }
        return got;
    }
    std::string Exchange(const std::string& bytes, size_t replyLength)
    {
        Send(bytes);
        return Read(replyLength);
    }
    int fd;
    bool ended = false;
};

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
                             "dsr-low", "stuck=SWITCH:PIN", "--switch", "--power-save", "--entrance-time",
                             "--line-rate", "--frame", "--process-rate", "--buffer", "--xonxoff",
                             "[input overrun: N bytes lost]", "--idle-after", "--one-client"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{}, {"--tcp", "70000"}, {"--pty", "--fault", "nope"},
          {"--pty", "--fault", "close-after=x"}, {"--pty", "--fault", "garbage="},
          {"--pty", "--fault", "garbage=-1"}, {"--pty", "--fault", "stuck=7:1"}, {"--pty", "--fault", "stuck=6:9"},
          {"--pty", "--fault", "stuck=6"}, {"--pty", "--fault", "stuck=6:12"}, {"--pty", "--fault", "garbage=4294967296"},
          {"--pty", "--switch", "9=1"}, {"--pty", "--switch", "7=10000001"},
          {"--pty", "--switch", "1=1000001"}, {"--pty", "--entrance-time", "300"}, {"--bogus"},
          {"--pty", "--one-client"}, {"--tcp", "0", "--idle-after", "x"},
          {"--tcp", "0", "--one-client", "--idle-after", "9"},
          {"--tcp", "0", "--line-rate"}, {"--pty", "--frame", "7E1"}, {"--pty", "--line-rate", "--frame", "9N1"},
          {"--pty", "--line-rate", "--buffer", "2"}, {"--pty", "--line-rate", "--process-rate", "0"}}) {
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
    EXPECT_EQ(Client(printer.tcpPort).Exchange("\x1d\x49\x43", 11), std::string("_TLR-740II\0", 11));
    EXPECT_EQ(Client(printer.tcpPort).Exchange("Hello\n\x1d\x49\x03", 1), "c"); // one connection after another
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

// A client that sends queries and never reads is dropped once its replies
// pile up, instead of growing the printer's memory without end.
TEST(VPrinterProgram, ClientThatNeverReadsIsDroppedWithMemoryBounded)
{
    VirtualPrinterProcess printer({"--tcp", "127.0.0.1:0"});
    std::string queries;
    for (int i = 0; i < 1'000'000; ++i)
        queries += "\x1d\x49\x43";
    Client client(printer.tcpPort);
    client.Send(queries);
    client.Read(); // what the kernel buffered still comes, then the end
    EXPECT_TRUE(client.ended) << "the printer kept the connection";
    EXPECT_LT(PeakRssKb(printer.process.Pid()), 32 * 1024);
    EXPECT_EQ(Client(printer.tcpPort).Exchange("\x1d\x49\x03", 1), "c"); // the next client is served
}

// Replies held back by --fault slow are waited for on the clock, not by
// polling a writable socket, and those still due when the client half-closes
// go out in full; then the connection ends.
TEST(VPrinterProgram, SlowRepliesToAHalfClosedClientComeInTimeWithoutSpinning)
{
    VirtualPrinterProcess printer({"--tcp", "127.0.0.1:0", "--fault", "slow", "--slow-delay", "1500"});
    const double cpuBefore = CpuSeconds(printer.process.Pid());
    const auto start = std::chrono::steady_clock::now();
    Client client(printer.tcpPort);
    client.Send("\x1d\x49\x43\x1d\x49\x03");
    shutdown(client.fd, SHUT_WR);
    EXPECT_EQ(client.Read(17), std::string("_TLR-740plusII\0c", 16));
    EXPECT_TRUE(client.ended);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1490 + 15 * 20));
    EXPECT_LT(CpuSeconds(printer.process.Pid()) - cpuBefore, 0.05);
}

// An idle client (nothing either way for --idle-after, no reply waiting) is
// kept while nobody waits, and gives way to one that does once its reply is
// out; with --one-client, as on a printer that takes one connection at a
// time, the next waits however long the first idles.
TEST(VPrinterProgram, IdleClientGivesWayToAWaitingOne)
{
    for (const std::vector<std::string>& mode : {std::vector<std::string>{"--idle-after", "100"}, {"--one-client"}}) {
        SCOPED_TRACE(mode[0]);
        const bool oneClient = mode[0] == "--one-client";
        std::vector<std::string> args{"--tcp", "0", "--fault", "slow"};
        args.insert(args.end(), mode.begin(), mode.end());
        VirtualPrinterProcess printer(args);
        const double cpuBefore = CpuSeconds(printer.process.Pid());
        auto first = std::make_unique<Client>(printer.tcpPort);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        first->Send("\x1d\x49\x03");
        Client second(printer.tcpPort);
        second.Send("\x1d\x49\x03");
        EXPECT_EQ(first->Read(2, oneClient ? int(kalo::sim::VPrinterServer::kDefaultIdleMs) + 500 : 5000), "c");
        EXPECT_EQ(first->ended, !oneClient);
        first.reset();
        EXPECT_EQ(second.Read(1), "c");
        EXPECT_LT(CpuSeconds(printer.process.Pid()) - cpuBefore, 0.05); // asleep in poll between
    }
}
