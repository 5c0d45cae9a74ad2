#include "platform/PortMap.h"

#include <gtest/gtest.h>

#include <map>

// The plain names and an override are met by every port test; here the edges.
TEST(PortMap, TurnsPortNamesIntoDevicePaths)
{
    const std::map<std::string, std::string> env = {{"KALO_PORT_COM12", "/dev/ttyACM3"},
                                                    {"KALO_PORT_LPT3", "/dev/usb/lp0"},
                                                    {"KALO_PORT_COM4", ""}};
    const kalo::platform::PortMap map([&env](const char* name) -> const char* {
        const auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    });
    const std::pair<const char*, const char*> rows[] = {
        {"COM4", "/dev/ttyS3"}, // an empty override does not count
        {"\\\\.\\COM12", "/dev/ttyACM3"}, // the override names the base name
        {"LPT3", "/dev/usb/lp0"},
        {"com1", "com1"}, // not a port name: a path as it stands
        {"COM0", "COM0"}, {"COM1x", "COM1x"}, {"", ""},
    };
    for (const auto& [name, path] : rows)
        EXPECT_EQ(map.DevicePath(name), path) << name;
}
