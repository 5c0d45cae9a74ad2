#include "port/CPrinterPort.h"
#include "sim/InProcessPlatform.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kalo;
using sim::InProcessLink;
using sim::InProcessPlatform;

namespace {

// 9600 baud, 8 data bits, no parity, 1 stop bit: ten bits a character.
constexpr int64_t kCharMicros = 10 * 1000000 / 9600;

PortSettings Com(const std::string& name, uint32_t parity = 0, uint32_t flow = 0, uint32_t stopBits = 0)
{
    return LinePortSettings(name, 9600, 8, stopBits, parity, flow);
}

struct SerialFixture : ::testing::Test {
    sim::PrinterOptions options;
    std::unique_ptr<InProcessPlatform> machine;
    std::unique_ptr<CPrinterPort> port;

    void Connect(const PortSettings& settings = Com("COM1"))
    {
        // The old port still uses the old printer: it must go first.
        port.reset();
        machine = std::make_unique<InProcessPlatform>(options);
        port = std::make_unique<CPrinterPort>(*machine);
        ASSERT_EQ(port->Configure(settings), 1);
        ASSERT_EQ(port->Open(), 1);
        machine->Clock().ClearSleeps();
    }
    int64_t Now() { return machine->Clock().NowMicros(); }
};

} // namespace

TEST_F(SerialFixture, OpenSetsTheLineFromTheSettings)
{
    const struct {
        uint32_t parity, flow, stopBits;
        uint8_t lineParity;
        bool parityCheck, xonXoff;
    } rows[] = {
        {0, 0, 0, 0, false, false}, {1, 0, 0, 1, true, false}, {2, 0, 0, 2, true, false},
        {3, 0, 0, 3, true, false},  {4, 0, 0, 4, true, false}, {0, 1, 0, 0, false, true},
        {0, 2, 0, 0, false, true},  {0, 0, 2, 0, false, false}, {0, 0, 1, 0, false, false},
    };
    for (const auto& row : rows) {
        Connect(Com("COM1", row.parity, row.flow, row.stopBits));
        const platform::LineSettings& line = machine->lastLine;
        EXPECT_EQ(line.baudRate, 9600u);
        EXPECT_EQ(line.byteSize, 8);
        EXPECT_EQ(line.parity, row.lineParity);
        EXPECT_EQ(line.stopBits, row.stopBits);
        EXPECT_EQ(line.parityCheck, row.parityCheck);
        EXPECT_EQ(line.outX, row.xonXoff);
        EXPECT_EQ(line.inX, row.xonXoff);
        EXPECT_TRUE(line.outxCtsFlow && line.dtrOn && line.rtsOn);
        EXPECT_FALSE(line.txContinueOnXoff);
    }
}

TEST(CSerialPort, OpenRefusesSaysWhyAndLeavesNothingOpen)
{
    const struct {
        const char* what;
        PortSettings settings;
        void (*fault)(InProcessPlatform&);
        const char* reason;
    } rows[] = {
        {"no such device", Com("COM2"), [](InProcessPlatform&) {},
         "open /dev/ttyS1: No such file or directory (set KALO_PORT_COM2 to the device)"},
        {"permission denied", Com("COM1"), [](InProcessPlatform& m) { m.serialPermissionDenied = true; },
         "open /dev/ttyS0: Permission denied (add the user to the dialout group)"},
        {"held by another program", Com("COM1"), [](InProcessPlatform& m) { m.serialHeldElsewhere = true; },
         "open /dev/ttyS0: busy (another program holds it)"},
        {"DSR low", Com("COM1"), [](InProcessPlatform& m) { m.dsrLow = true; },
         "open /dev/ttyS0: the printer holds DSR off (switched off, or its cable is out)"},
        {"line refused (stop bits unset)", Com("COM1", 0, 0, 0xFFFFFFFF), [](InProcessPlatform&) {},
         "set line /dev/ttyS0: Invalid argument"},
        {"device namespace name", Com("\\\\.\\COM12"), [](InProcessPlatform&) {},
         "open /dev/ttyS11: No such file or directory (set KALO_PORT_COM12 to the device)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        InProcessPlatform machine;
        row.fault(machine);
        CPrinterPort port(machine);
        ASSERT_EQ(port.Configure(row.settings), 1);
        EXPECT_EQ(port.Open(), 0);
        EXPECT_EQ(platform::DescribeFailure(port.LastFailure(), row.settings.portName), row.reason);
        EXPECT_FALSE(port.LinkLost());
        EXPECT_EQ(machine.Clock().Sleeps(), std::vector<uint32_t>{100});
        EXPECT_EQ(machine.openDevices, 0);

        // The printer is switched on and free: configure and open again succeed.
        machine.serialPermissionDenied = machine.serialHeldElsewhere = machine.dsrLow = false;
        ASSERT_EQ(port.Configure(Com("COM1")), 1);
        EXPECT_TRUE(port.LastFailure().Empty());
        EXPECT_EQ(port.Open(), 1);
    }
    InProcessPlatform machine;
    EXPECT_EQ(CSerialPort(machine).Configure(Com("")), 0);
}

TEST_F(SerialFixture, ReadsEndByTheFixedTimeOuts)
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
    const uint8_t query[] = {0x1D, 0x49, 0x41};
    const int64_t writeStart = Now();
    ASSERT_EQ(port->Write(query, 3), 3);
    EXPECT_EQ(Now() - writeStart, 3 * kCharMicros); // the bytes' time on the wire

    ASSERT_EQ(port->Read(buffer, 16), 5);
    const uint8_t reply[] = {0x5F, 'A', 'B', 'C', 0x00};
    EXPECT_EQ(std::memcmp(buffer, reply, 5), 0);
    for (int i = 5; i < 16; ++i)
        EXPECT_EQ(buffer[i], 0xEE) << "byte " << i << " was touched";
    const int64_t lastByte = writeStart + 3 * kCharMicros + InProcessLink::kTurnaroundMicros + 4 * kCharMicros;
    EXPECT_EQ(Now() - lastByte, 10000);
}

TEST_F(SerialFixture, WritesWaitForDsrAndCountWhatLeft)
{
    Connect();
    const uint8_t data[10] = {'H', 'e', 'l', 'l', 'o', 0x0A, 0, 0, 0, 0};
    EXPECT_EQ(port->Write(data, 0), 0);
    EXPECT_EQ(port->Write(nullptr, 4), 0);
    EXPECT_TRUE(machine->lastLink->Written().empty());

    // DSR held off by the printer: the write waits out its time-out, 3000 ms + 5 ms a byte.
    machine->dsrLow = true;
    int64_t start = Now();
    EXPECT_EQ(port->Write(data, 10), 0);
    EXPECT_EQ(Now() - start, 3050000);
    EXPECT_TRUE(machine->lastLink->Written().empty());
    EXPECT_EQ(platform::DescribeFailure(port->LastFailure(), "COM1"),
              "write /dev/ttyS0: the printer held DSR off for the write time-out of 3050 ms");
    EXPECT_FALSE(port->LinkLost());

    machine->dsrLow = false;
    start = Now();
    EXPECT_EQ(port->Write(data, 6), 6);
    EXPECT_EQ(Now() - start, 6 * kCharMicros);
    EXPECT_EQ(machine->Paper(), std::vector<std::string>{"Hello"});

    // A printer that hung up: what left is counted.
    options.closeAfter = 3;
    Connect();
    EXPECT_EQ(port->Write(data, 8), 3);
    EXPECT_EQ(platform::DescribeFailure(port->LastFailure(), "COM1"), "write /dev/ttyS0: the device hung up");
    EXPECT_TRUE(port->LinkLost());
    uint8_t buffer[4] = {};
    EXPECT_EQ(port->Read(buffer, 4), 0);
    EXPECT_EQ(port->LastFailure().call, "read");
    port->Close();
    EXPECT_EQ(machine->openDevices, 0);
    EXPECT_TRUE(port->LinkLost()); // still known after the port is closed
}
