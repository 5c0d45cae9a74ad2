#include "port/CPrinterPort.h"
#include "sim/InProcessPlatform.h"

#include <gtest/gtest.h>

using namespace kalo;

TEST(ChoosePortKind, FollowsTheTestsInOrder)
{
    const struct {
        const char* name;
        uint32_t tcpPort;
        bool matches;
        PortKind kind;
        const char* handedOver;
    } rows[] = {
        {"COM3", 0, true, PortKind::Serial, "COM3"},
        {"\\\\.\\COM12", 0, true, PortKind::Serial, "\\\\.\\COM12"},
        {"com3", 0, false, PortKind::Serial, ""},              // case-sensitive
        {"COM3", 9100, true, PortKind::Serial, "COM3"},       // a COM name wins over a TCP port
        {"LPT2", 0, true, PortKind::Parallel, "LPT2"},
        {"LPTX", 0, true, PortKind::Parallel, "LPTX"},
        {"740plusII:/dev/usb/lp0", 0, true, PortKind::Usb, "/dev/usb/lp0"},
        {"742plusII:/dev/usb/lp1", 0, true, PortKind::Usb, "/dev/usb/lp1"},
        {"740II:/dev/usb/lp2", 0, true, PortKind::Usb, "/dev/usb/lp2"},
        {"740plusII:", 0, true, PortKind::Usb, ""},
        {"x742plusII-740II-rest", 0, true, PortKind::Usb, "-740II-rest"}, // second model, cut at 10
        {"10.1.2.3", 9100, true, PortKind::Ethernet, "10.1.2.3"},
        {"10.1.2.3", 0, false, PortKind::Serial, ""},
        {"", 0, false, PortKind::Serial, ""},
        {"", 9100, true, PortKind::Ethernet, ""},
    };
    for (const auto& row : rows) {
        PortSettings settings;
        settings.portName = row.name;
        settings.tcpPort = row.tcpPort;
        const auto choice = ChoosePortKind(settings);
        ASSERT_EQ(choice.has_value(), row.matches) << row.name;
        if (!choice)
            continue;
        EXPECT_EQ(choice->kind, row.kind) << row.name;
        EXPECT_EQ(choice->name, row.handedOver) << row.name;
    }
}

TEST(CPrinterPort, EmptyFacadeDoesNothing)
{
    sim::InProcessPlatform machine;
    CPrinterPort port(machine);
    uint8_t buffer[4] = {};
    EXPECT_FALSE(port.HoldsPort());
    EXPECT_EQ(port.Open(), 0);
    EXPECT_EQ(port.Write(buffer, 4), 0);
    EXPECT_EQ(port.Read(buffer, 4), 0);
    port.Close();

    EXPECT_EQ(port.Configure(NetworkPortSettings("10.0.0.50", 0)), 0);
    EXPECT_FALSE(port.HoldsPort()); // no kind matched
    EXPECT_EQ(port.Open(), 0);
    EXPECT_EQ(machine.openDevices, 0);
}

TEST(CPrinterPort, ConfigureReplacesTheHeldPort)
{
    sim::InProcessPlatform machine;
    CPrinterPort port(machine);
    ASSERT_EQ(port.Configure(LinePortSettings("COM1", 9600, 8, 0, 0, 0)), 1);
    EXPECT_EQ(port.Kind(), PortKind::Serial);
    ASSERT_EQ(port.Open(), 1);
    EXPECT_EQ(port.Open(), 1); // a second open changes nothing
    EXPECT_EQ(machine.openDevices, 1);
    const auto firstLink = machine.lastLink;

    // Configure while open: the old port object is dropped without being used again.
    ASSERT_EQ(port.Configure(NetworkPortSettings("10.0.0.50", 9100)), 1);
    EXPECT_EQ(port.Kind(), PortKind::Ethernet);
    EXPECT_EQ(machine.openDevices, 0);
    EXPECT_TRUE(firstLink->HungUp());
    ASSERT_EQ(port.Open(), 1);
    EXPECT_NE(machine.lastLink, firstLink);
    port.Close();
    EXPECT_FALSE(port.HoldsPort());
    EXPECT_EQ(machine.openDevices, 0);
}
