#include "port/CPrinterPort.h"
#include "sim/InProcessPlatform.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kalo;
using platform::DescribeFailure;
using platform::MessageIcon;
using platform::RecordingMessageSink;
using sim::InProcessPlatform;

namespace {

struct EthernetFixture : ::testing::Test {
    sim::PrinterOptions options;
    std::unique_ptr<InProcessPlatform> machine;
    std::unique_ptr<CPrinterPort> port;

    void Connect()
    {
        // The old port still uses the old printer: it must go first.
        port.reset();
        machine = std::make_unique<InProcessPlatform>(options);
        port = std::make_unique<CPrinterPort>(*machine);
        ASSERT_EQ(port->Configure(NetworkPortSettings(machine->networkHost, machine->networkPort)), 1);
        ASSERT_EQ(port->Open(), 1);
        machine->Clock().ClearSleeps();
    }
    int64_t Now() { return machine->Clock().NowMicros(); }
};

const char kConnectError[] =
    "Error : Failed to connected \r\nPlease, check IP port configuration in printer control pannel \"PORT\"";

} // namespace

TEST_F(EthernetFixture, WritesInPiecesWithPausesBetween)
{
    const struct {
        uint32_t length;
        std::vector<size_t> pieces;
    } rows[] = {
        {1, {1}},
        {4096, {4096}},
        {4097, {4096, 1}},
        {8192, {4096, 4096}},
        {10000, {4096, 4096, 1808}},
    };
    std::vector<uint8_t> data(10000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t('A' + i % 26);
    for (const auto& row : rows) {
        Connect();
        const int64_t start = Now();
        EXPECT_EQ(port->Write(data.data(), row.length), int(row.length));
        const auto& written = machine->lastLink->Written();
        ASSERT_EQ(written.size(), row.pieces.size()) << row.length;
        size_t offset = 0;
        for (size_t i = 0; i < written.size(); ++i) {
            EXPECT_EQ(written[i].bytes.size(), row.pieces[i]);
            EXPECT_EQ(written[i].micros - start, int64_t(i) * 500000) << "piece " << i;
            EXPECT_EQ(std::memcmp(written[i].bytes.data(), data.data() + offset, row.pieces[i]), 0);
            offset += row.pieces[i];
        }
        // A pause between pieces, none after the last.
        EXPECT_EQ(machine->Clock().Sleeps(), std::vector<uint32_t>(row.pieces.size() - 1, 500)) << row.length;
    }
}

TEST_F(EthernetFixture, AFailedPieceEndsTheWrite)
{
    options.closeAfter = 5000; // the printer hangs up during the second piece
    Connect();
    std::vector<uint8_t> data(12000, 'x');
    EXPECT_EQ(port->Write(data.data(), uint32_t(data.size())), 4096);
    EXPECT_EQ(platform::DescribeFailure(port->LastFailure(), machine->networkHost),
              "send 10.0.0.50:9100: Broken pipe");
    EXPECT_TRUE(port->LinkLost());
    EXPECT_EQ(port->Write(data.data(), 0), 0);
}

TEST_F(EthernetFixture, ReadReturnsWhatArrivedAndLeavesTheRest)
{
    options.firmware = "1.2.3.4";
    Connect();
    const uint8_t query[] = {0x1D, 0x49, 0x41};
    ASSERT_EQ(port->Write(query, 3), 3);
    uint8_t buffer[16];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(port->Read(buffer, 16), 9);
    EXPECT_EQ(std::memcmp(buffer, "_1.2.3.4", 9), 0);
    for (int i = 9; i < 16; ++i)
        EXPECT_EQ(buffer[i], 0xEE);
}

// Only our own bound on the wait reads as "nothing arrived"; a printer that
// closed is 0 and a connection the system gave up on is a socket error, and
// both are a lost link.
TEST_F(EthernetFixture, ReadsThatGetNothing)
{
    const struct {
        const char* what;
        bool silent;
        int64_t closeAfter;
        bool timesOut;
        int result;
        int64_t waitedMs;
        bool linkLost;
        const char* reason;
    } rows[] = {
        {"silent printer", true, -1, false, 0, CEthernetPort::kReceiveTimeoutMs, false,
         "receive 10.0.0.50:9100: nothing arrived within 3 s"},
        {"printer closed", false, 2, false, 0, 0, true, "receive 10.0.0.50:9100: the printer closed the connection"},
        {"connection timed out", false, -1, true, -1, 0, true, "receive 10.0.0.50:9100: Connection timed out"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        options.silent = row.silent;
        options.closeAfter = row.closeAfter;
        Connect();
        const uint8_t init[] = {0x1B, 0x40};
        ASSERT_EQ(port->Write(init, 2), 2);
        machine->connectionTimesOut = row.timesOut;
        uint8_t buffer[16] = {};
        const int64_t start = Now();
        EXPECT_EQ(port->Read(buffer, 16), row.result);
        EXPECT_EQ(Now() - start, row.waitedMs * 1000);
        EXPECT_EQ(port->LinkLost(), row.linkLost);
        EXPECT_EQ(platform::DescribeFailure(port->LastFailure(), machine->networkHost), row.reason);
    }
}

// The port's own box keeps its fixed text; the reason goes with the
// caller's box (Check Communication's), so it is not said twice.
TEST(CEthernetPort, OpenFailuresShowTheirBoxKeepTheReasonAndLeaveNothingOpen)
{
    const struct {
        const char* what;
        std::string host;
        uint32_t tcpPort;
        bool failCreate;
        const char* box;
        std::string reason;
    } rows[] = {
        {"refused", "10.0.0.50", 9101, false, kConnectError, "connect 10.0.0.50:9101: Connection refused"},
        {"nobody there", "10.0.0.99", 9100, false, kConnectError,
         "connect 10.0.0.99:9100: no answer within 5 s (check the address, and that the printer is on and on the "
         "network)"},
        {"unknown host", "printer.invalid", 9100, false, kConnectError,
         "connect printer.invalid:9100: Name or service not known (check the printer's address)"},
        {"port beyond 65535", "10.0.0.50", 9100 + 65536, false, kConnectError,
         "connect 10.0.0.50:74636: no such TCP port (1 to 65535)"},
        {"no socket", "10.0.0.50", 9100, true, "Error : Failed to Create socket!", "socket: Too many open files"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        InProcessPlatform machine;
        machine.failSocketCreate = row.failCreate;
        CPrinterPort port(machine);
        ASSERT_EQ(port.Configure(NetworkPortSettings(row.host, row.tcpPort)), 1);
        EXPECT_EQ(port.Open(), 0);
        ASSERT_EQ(machine.Recorded().Messages().size(), 1u);
        EXPECT_EQ(machine.Recorded().Messages()[0], (RecordingMessageSink::Message{row.box, "Error", MessageIcon::Error, ""}));
        EXPECT_EQ(DescribeFailure(port.LastFailure(), row.host), row.reason);
        EXPECT_EQ(machine.openDevices, 0);
    }
}
