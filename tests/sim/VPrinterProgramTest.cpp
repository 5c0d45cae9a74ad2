// kalo-vprinter as other tools see it: its command line, first lines,
// paper output and wire log, and its TCP clients.
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <fstream>
#include <poll.h>
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
        EXPECT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    }
    ~Client() { close(fd); }
    // Sends bytes, then reads up to length bytes; fewer when the connection
    // ends (ended) or nothing comes within 5 s.
    std::string Exchange(const std::string& bytes, size_t length, bool halfClose = false)
    {
        send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (halfClose)
            shutdown(fd, SHUT_WR);
        std::string got;
        char chunk[64];
        for (long n = 1; got.size() < length && n > 0;) {
            pollfd p{fd, POLLIN, 0};
            n = poll(&p, 1, 5000) == 1 ? read(fd, chunk, std::min(sizeof chunk, length - got.size())) : -2;
            got.append(chunk, size_t(std::max(n, 0L)));
            ended = n == 0 || n == -1;
        }
        return got;
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

TEST(VPrinterProgram, RefusesABadCommandLine)
{
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{}, {"--tcp", "70000"}, {"--pty", "--fault", "close-after=x"},
          {"--pty", "--fault", "stuck=6:9"}, {"--pty", "--switch", "1=1000001"}, {"--pty", "--one-client"},
          {"--tcp", "0", "--line-rate"}, {"--pty", "--line-rate", "--frame", "9N1"}}) {
        const auto run = RunProgram(KALO_VPRINTER_PATH, bad);
        EXPECT_EQ(run.status, 2) << ::testing::PrintToString(bad);
        EXPECT_FALSE(run.err.empty());
    }
}

// One connection after another; one that half-closes still gets its reply.
TEST(VPrinterProgram, ServesTcpWritesPaperAndWireLogAndStopsCleanly)
{
    const std::string dir = ::testing::TempDir() + "kalo-vp-" + std::to_string(getpid());
    const std::string paper = dir + "-paper.txt", wire = dir + "-wire.log";
    VirtualPrinterProcess printer({"--tcp", "127.0.0.1:0", "--model", "TLR-740II", "--paper", paper,
                                   "--wire-log", wire});
    ASSERT_EQ(printer.tcpAddress, "127.0.0.1");
    ASSERT_GT(printer.tcpPort, 0);
    EXPECT_EQ(Client(printer.tcpPort).Exchange("\x1d\x49\x43", 11), std::string("_TLR-740II\0", 11));
    Client halfClosed(printer.tcpPort);
    EXPECT_EQ(halfClosed.Exchange("Hello\n\x1d\x49\x03", 2, true), "c");
    EXPECT_TRUE(halfClosed.ended);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(printer.process.Stop(), 0);
    EXPECT_EQ(ReadFile(paper), "Hello\n");
    const std::string log = ReadFile(wire);
    EXPECT_NE(log.find(" rx 1d 49 43\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" tx 5f 54 4c 52 2d 37 34 30 49 49 00\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" rx 48 65 6c 6c 6f 0a 1d 49 03\n"), std::string::npos) << log;
}
