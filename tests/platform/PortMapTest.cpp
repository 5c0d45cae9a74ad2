#include "platform/PortMap.h"

#include <gtest/gtest.h>

#include <map>

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
