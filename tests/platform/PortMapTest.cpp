#include "platform/ConsoleMessageSink.h"
#include "platform/PortMap.h"

#include <gtest/gtest.h>

#include <map>

using kalo::platform::ConsoleMessageSink;
using kalo::platform::PortMap;

namespace {

PortMap MapWith(std::map<std::string, std::string> env)
{
    auto shared = std::make_shared<std::map<std::string, std::string>>(std::move(env));
    return PortMap([shared](const char* name) -> const char* {
        const auto it = shared->find(name);
        return it == shared->end() ? nullptr : it->second.c_str();
    });
}

} // namespace

TEST(PortMap, TurnsPortNamesIntoDevicePaths)
{
    const PortMap map = MapWith({{"KALO_PORT_COM1", "/dev/ttyUSB0"},
                                 {"KALO_PORT_COM12", "/dev/ttyACM3"},
                                 {"KALO_PORT_LPT3", "/dev/usb/lp0"},
                                 {"KALO_PORT_COM4", ""}});
    const struct {
        const char* name;
        const char* path;
    } rows[] = {
        {"COM1", "/dev/ttyUSB0"},          // overridden
        {"COM2", "/dev/ttyS1"},
        {"COM9", "/dev/ttyS8"},
        {"COM4", "/dev/ttyS3"},            // an empty override does not count
        {"\\\\.\\COM10", "/dev/ttyS9"},
        {"\\\\.\\COM12", "/dev/ttyACM3"},  // the override names the base name
        {"LPT1", "/dev/lp0"},
        {"LPT3", "/dev/usb/lp0"},
        {"com1", "com1"},                  // not a port name: a path as it stands
        {"COM0", "COM0"},
        {"COM1x", "COM1x"},
        {"/dev/pts/4", "/dev/pts/4"},
        {"", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(map.DevicePath(row.name), row.path) << row.name;
}

TEST(ConsoleMessageSink, PrintsBoxTextsAsLines)
{
    EXPECT_EQ(ConsoleMessageSink::PlainLines("Fail to get printer ID.\r\n\r\nPlease retry connect"),
              "Fail to get printer ID.\n\nPlease retry connect");
    EXPECT_EQ(ConsoleMessageSink::PlainLines("a\rb\nc"), "a\nb\nc");
    std::ostringstream out;
    ConsoleMessageSink sink(out);
    sink.Show("Error : Failed to connected \r\nPlease", "Error", kalo::platform::MessageIcon::Error);
    sink.Show("Can't open port", "Warning", kalo::platform::MessageIcon::Warning, "open /dev/ttyS0: busy");
    EXPECT_EQ(out.str(), "Error : Failed to connected \nPlease\nCan't open port\nopen /dev/ttyS0: busy\n");
}
