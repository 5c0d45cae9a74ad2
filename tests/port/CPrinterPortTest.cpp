#include "port/CPrinterPort.h"
#include "sim/InProcessPlatform.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kalo;
using platform::DescribeFailure;
using sim::RecordingMessageSink;
using sim::InProcessLink;
using sim::InProcessPlatform;

namespace {

// 9600 baud, 8 data bits, no parity, 1 stop bit: ten bits a character.
constexpr int64_t kCharMicros = 10 * 1000000 / 9600;

PortSettings Com(const std::string& name, uint32_t parity = 0, uint32_t flow = 0, uint32_t stopBits = 0)
{
    return LinePortSettings(name, 9600, 8, stopBits, parity, flow);
}

const PortSettings kNetwork = NetworkPortSettings("10.0.0.50", 9100); // where the in-process printer listens
const uint8_t kFirmwareQuery[] = {0x1D, 0x49, 0x41};
const char kConnectError[] =
    "Error : Failed to connected \r\nPlease, check IP port configuration in printer control pannel \"PORT\"";

struct PortFixture : ::testing::Test {
    sim::PrinterOptions options;
    std::unique_ptr<InProcessPlatform> machine;
    std::unique_ptr<CPrinterPort> port;

    void Connect(const PortSettings& settings)
    {
        port.reset(); // the old port still uses the old printer: it must go first
        machine = std::make_unique<InProcessPlatform>(options);
        port = std::make_unique<CPrinterPort>(*machine);
        ASSERT_EQ(port->Configure(settings), 1);
        ASSERT_EQ(port->Open(), 1);
        machine->Clock().ClearSleeps();
    }
    int64_t Now() { return machine->Clock().NowMicros(); }
    std::string Failure() { return DescribeFailure(port->LastFailure(), machine->networkHost); }
};

} // namespace

// The plain names of each kind, and an address without a TCP port, are met
// by the kaloctl and window tests; here the edges.
TEST(ChoosePortKind, FollowsTheTestsInOrder)
{
    const std::tuple<const char*, uint32_t, std::optional<PortKind>, const char*> rows[] = {
        {"com3", 0, std::nullopt, ""},                 // case-sensitive
        {"COM3", 9100, PortKind::Serial, "COM3"},      // a COM name wins over a TCP port
        {"740plusII:", 0, PortKind::Usb, ""},          // no device path
        {"x742plusII-740II-rest", 0, PortKind::Usb, "-740II-rest"}, // second model, cut at 10
        {"", 9100, PortKind::Ethernet, ""},
        // A path by what is there, the typed path handed over.
        {"/dev/ttyUSB0", 9100, PortKind::Serial, "/dev/ttyUSB0"}, {"/dev/serial/by-id/usb-FTDI", 0, PortKind::Serial,
        "/dev/serial/by-id/usb-FTDI"}, {"/dev/lp1", 0, PortKind::Parallel, "/dev/lp1"},
        {"/dev/usb/lp0", 0, PortKind::Usb, "/dev/usb/lp0"}, {"/dev/kemtran", 0, PortKind::Usb, "/dev/kemtran"},
        {"/dev/lp2", 0, std::nullopt, ""}, {"/dev/null", 9100, std::nullopt, ""},
    };
    InProcessPlatform machine;
    machine.serialPath = "/dev/ttyUSB0";
    machine.parallelPath = "/dev/lp1";
    machine.usbPrinters = {{"/dev/usb/lp0", "7a3c", "001e", ""}};
    machine.deviceLinks = {{"/dev/serial/by-id/usb-FTDI", "/dev/ttyUSB0"}, {"/dev/kemtran", "/dev/usb/lp0"}};
    for (const auto& [name, tcpPort, kind, handedOver] : rows) {
        PortSettings settings{name};
        settings.tcpPort = tcpPort;
        const auto choice = ChoosePortKind(settings, machine);
        ASSERT_EQ(choice.has_value(), kind.has_value()) << name;
        EXPECT_TRUE(!choice || (choice->kind == *kind && choice->name == handedOver)) << name;
    }
}

TEST(CPrinterPort, HoldsOnePortAtATime)
{
    InProcessPlatform machine;
    CPrinterPort port(machine);
    uint8_t buffer[4] = {};
    EXPECT_EQ(port.Open() + port.Write(buffer, 4) + port.Read(buffer, 4), 0); // an empty facade does nothing
    EXPECT_EQ(CSerialPort(machine).Configure(Com("")), 0);

    ASSERT_EQ(port.Configure(Com("COM1")), 1);
    ASSERT_EQ(port.Open(), 1);
    EXPECT_EQ(port.Open(), 1); // a second open changes nothing
    EXPECT_EQ(machine.openDevices, 1);
    const auto firstLink = machine.lastLink;
    // Configure while open: the old port object is dropped without being used again.
    ASSERT_EQ(port.Configure(kNetwork), 1);
    EXPECT_EQ(port.Kind(), PortKind::Ethernet);
    EXPECT_EQ(machine.openDevices, 0);
    EXPECT_TRUE(firstLink->HungUp());
    ASSERT_EQ(port.Open(), 1);
    EXPECT_NE(machine.lastLink, firstLink);
    port.Close();
    EXPECT_FALSE(port.HoldsPort());
    EXPECT_EQ(machine.openDevices, 0);
}

// A port that cannot be opened says why, holds nothing open, and opens once
// the fault is gone. Only the network port shows a box of its own, with its
// fixed text; the reason goes with the caller's box, so it is not said twice.
// (A busy device, DSR held off and a refused connection are the window's
// rows; a denied device and an unknown host kaloctl's, for real.)
TEST(CPrinterPort, OpenFailuresSayWhyAndLeaveNothingOpen)
{
    const struct {
        PortSettings settings;
        bool InProcessPlatform::*fault;
        const char *box, *reason; // box: "" for none
    } rows[] = {
        {Com("\\\\.\\COM12"), nullptr, "",
         "open /dev/ttyS11: No such file or directory (set KALO_PORT_COM12 to the device)"},
        {Com("COM1", 0, 0, 0xFFFFFFFF), nullptr, "", "set line /dev/ttyS0: Invalid argument"}, // stop bits unset
        {NetworkPortSettings("10.0.0.99", 9100), nullptr, kConnectError,
         "connect 10.0.0.99:9100: no answer within 5 s (check the address, and that the printer is on and on the "
         "network)"},
        {NetworkPortSettings("10.0.0.50", 9100 + 65536), nullptr, kConnectError,
         "connect 10.0.0.50:74636: no such TCP port (1 to 65535)"},
        {kNetwork, &InProcessPlatform::failSocketCreate, "Error : Failed to Create socket!", "socket: Too many open files"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reason);
        InProcessPlatform machine;
        if (row.fault)
            machine.*row.fault = true;
        CPrinterPort port(machine);
        ASSERT_EQ(port.Configure(row.settings), 1);
        EXPECT_EQ(port.Open(), 0);
        EXPECT_EQ(DescribeFailure(port.LastFailure(), row.settings.portName), row.reason);
        EXPECT_FALSE(port.LinkLost());
        EXPECT_EQ(machine.openDevices, 0);
        EXPECT_EQ(machine.Clock().Sleeps(), std::vector<uint32_t>(*row.box ? 0 : 1, 100));
        EXPECT_EQ(machine.Recorded().Messages(),
                  std::vector<RecordingMessageSink::Message>(
                      *row.box ? 1 : 0, {row.box, "Error", platform::MessageIcon::Error, ""}));
        if (row.fault)
            machine.*row.fault = false;
        ASSERT_EQ(port.Configure(Com("COM1")), 1);
        EXPECT_TRUE(port.LastFailure().Empty());
        EXPECT_EQ(port.Open(), 1);
    }
}

TEST_F(PortFixture, OpenSetsTheLineFromTheSettings)
{
    // parity, flow, stop bits; then whether parity is checked and XON/XOFF used.
    for (const auto& [parity, flow, stopBits, parityCheck, xonXoff] :
         {std::tuple{0u, 0u, 0u, false, false}, {1u, 0u, 0u, true, false}, {4u, 0u, 0u, true, false},
          {0u, 1u, 0u, false, true}, {0u, 2u, 0u, false, true}, {0u, 0u, 2u, false, false}}) {
        Connect(Com("COM1", parity, flow, stopBits));
        const platform::LineSettings& l = machine->lastLine;
        EXPECT_EQ(std::tie(l.baudRate, l.byteSize, l.parity, l.stopBits, l.parityCheck, l.outX, l.inX),
                  std::make_tuple(9600u, uint8_t(8), uint8_t(parity), uint8_t(stopBits), parityCheck, xonXoff, xonXoff));
        EXPECT_TRUE(l.outxCtsFlow && l.dtrOn && l.rtsOn && !l.txContinueOnXoff);
    }
}

TEST_F(PortFixture, ReadsEndByTheFixedTimeOuts)
{
    PortSettings settings = Com("COM1");
    for (uint32_t& t : settings.timeouts)
        t = 500; // replaced by the fixed values at open
    options.firmware = "ABC";
    Connect(settings);
    uint8_t buffer[16];
    std::memset(buffer, 0xEE, sizeof buffer);
    const int64_t start = Now();
    EXPECT_EQ(port->Read(buffer, 1), 0);
    EXPECT_EQ(Now() - start, 110000);
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_TRUE(port->LastFailure().Empty()); // a read that finds nothing has not failed

    // A reply ends ten milliseconds after its last byte.
    const int64_t writeStart = Now();
    ASSERT_EQ(port->Write(kFirmwareQuery, 3), 3);
    EXPECT_EQ(Now() - writeStart, 3 * kCharMicros); // the bytes' time on the wire
    ASSERT_EQ(port->Read(buffer, 16), 5);
    EXPECT_EQ(std::memcmp(buffer, "_ABC\0\xEE\xEE\xEE\xEE\xEE\xEE\xEE\xEE\xEE\xEE\xEE", 16), 0); // the rest untouched
    const int64_t lastByte = writeStart + 3 * kCharMicros + InProcessLink::kTurnaroundMicros + 4 * kCharMicros;
    EXPECT_EQ(Now() - lastByte, 10000);
}

// (A printer that hangs up mid-write is kaloctl's fault matrix: what left is
// counted, and the link is lost.)
TEST_F(PortFixture, WritesWaitForDsr)
{
    Connect(Com("COM1"));
    const uint8_t data[10] = {'H', 'e', 'l', 'l', 'o', 0x0A, 0, 0, 0, 0};
    EXPECT_EQ(port->Write(data, 0) + port->Write(nullptr, 4), 0);
    EXPECT_TRUE(machine->lastLink->Written().empty());

    // DSR held off by the printer: the write waits out its time-out, 3000 ms + 5 ms a byte.
    machine->dsrLow = true;
    int64_t start = Now();
    EXPECT_EQ(port->Write(data, 10), 0);
    EXPECT_EQ(Now() - start, 3050000);
    EXPECT_TRUE(machine->lastLink->Written().empty());
    EXPECT_EQ(Failure(), "write /dev/ttyS0: the printer held DSR off for the write time-out of 3050 ms");
    EXPECT_FALSE(port->LinkLost());

    machine->dsrLow = false;
    start = Now();
    EXPECT_EQ(port->Write(data, 6), 6);
    EXPECT_EQ(Now() - start, 6 * kCharMicros);
    EXPECT_EQ(machine->Paper(), std::vector<std::string>{"Hello"});

}

TEST_F(PortFixture, WritesInPiecesWithPausesBetween)
{
    std::vector<uint8_t> data(10000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t('A' + i % 26);
    for (const auto& [length, pieces] : std::vector<std::pair<uint32_t, std::vector<size_t>>>{
             {4096, {4096}}, {4097, {4096, 1}}, {10000, {4096, 4096, 1808}}}) {
        SCOPED_TRACE(length);
        Connect(kNetwork);
        const int64_t start = Now();
        EXPECT_EQ(port->Write(data.data(), length), int(length));
        const auto& written = machine->lastLink->Written();
        ASSERT_EQ(written.size(), pieces.size());
        for (size_t i = 0, offset = 0; i < written.size(); offset += pieces[i++]) {
            EXPECT_EQ(written[i].micros - start, int64_t(i) * 500000) << "piece " << i;
            EXPECT_EQ(written[i].bytes, std::vector<uint8_t>(&data[offset], &data[offset] + pieces[i]));
        }
        // A pause between pieces, none after the last.
        EXPECT_EQ(machine->Clock().Sleeps(), std::vector<uint32_t>(pieces.size() - 1, 500));
    }

    options.closeAfter = 5000; // the printer hangs up during the second piece: the write ends there
    Connect(kNetwork);
    EXPECT_EQ(port->Write(data.data(), uint32_t(data.size())), 4096);
    EXPECT_EQ(Failure(), "send 10.0.0.50:9100: Broken pipe");
    EXPECT_TRUE(port->LinkLost());
}

// Only our own bound on the wait reads as "nothing arrived"; a printer that
// closed is 0 and a connection the system gave up on is a socket error, and
// both are a lost link.
TEST_F(PortFixture, NetworkReads)
{
    options.firmware = "1.2.3.4";
    Connect(kNetwork);
    ASSERT_EQ(port->Write(kFirmwareQuery, 3), 3);
    uint8_t reply[16];
    std::memset(reply, 0xEE, sizeof reply);
    EXPECT_EQ(port->Read(reply, 16), 9); // what arrived, the rest of the buffer left alone
    EXPECT_EQ(std::memcmp(reply, "_1.2.3.4\0\xEE\xEE\xEE\xEE\xEE\xEE\xEE", 16), 0);

    const struct {
        bool silent;
        int64_t closeAfter;
        bool timesOut;
        int result;
        int64_t waitedMs;
        const char* reason;
    } rows[] = {
        {true, -1, false, 0, CEthernetPort::kReceiveTimeoutMs, "receive 10.0.0.50:9100: nothing arrived within 3 s"},
        {false, 2, false, 0, 0, "receive 10.0.0.50:9100: the printer closed the connection"},
        {false, -1, true, -1, 0, "receive 10.0.0.50:9100: Connection timed out"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reason);
        options.silent = row.silent;
        options.closeAfter = row.closeAfter;
        Connect(kNetwork);
        const uint8_t init[] = {0x1B, 0x40};
        ASSERT_EQ(port->Write(init, 2), 2);
        machine->connectionTimesOut = row.timesOut;
        uint8_t buffer[16] = {};
        const int64_t start = Now();
        EXPECT_EQ(port->Read(buffer, 16), row.result);
        EXPECT_EQ(Now() - start, row.waitedMs * 1000);
        EXPECT_EQ(port->LinkLost(), !row.silent);
        EXPECT_EQ(Failure(), row.reason);
    }
}
