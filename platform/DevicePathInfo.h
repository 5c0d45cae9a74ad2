#pragma once

#include <string>

namespace kalo::platform {

// A serial or parallel device the system lists, named by its path, with
// what its USB parent reports when it sits on USB (an adapter).
struct DevicePathInfo {
    std::string path;        // "/dev/ttyUSB0"
    std::string description; // "FTDI FT232R USB UART, serial A50285BI"; empty when nothing is known
    std::string vendorId;    // "0403"; empty off USB
    std::string productId;   // "6001"
    std::string serial;      // empty when the device has none

    bool operator==(const DevicePathInfo&) const = default;
};

// What a typed device path is: whether anything is there, whether it is a
// terminal (a serial line), and the path its links lead to, which names
// its kind (/dev/serial/by-id/... is a link to /dev/ttyUSB0).
struct DeviceNode {
    bool present = false;
    bool terminal = false;
    std::string target;
};

} // namespace kalo::platform
