#pragma once

#include <functional>
#include <string>

namespace kalo::platform {

// Turns the program's port names ("COM1", "\\.\COM12", "LPT1") into device
// paths. COMn is /dev/ttyS(n-1) and LPTn is /dev/lp(n-1) unless the
// environment names another device in KALO_PORT_<NAME> (KALO_PORT_COM1=/dev/ttyUSB0).
class PortMap {
public:
    using Lookup = std::function<const char*(const char*)>;

    // lookup reads the environment; tests hand in their own.
    explicit PortMap(Lookup lookup = nullptr);

    // The device path for a port name; a name that is not a COM or LPT name is
    // returned unchanged (it already is a path).
    std::string DevicePath(const std::string& portName) const;

    // "COM12" for "\\.\COM12", the name itself otherwise.
    static std::string BaseName(const std::string& portName);
    // The environment variable that names the device for a port: "KALO_PORT_COM12".
    static std::string VariableName(const std::string& portName);

private:
    Lookup m_lookup;
};

} // namespace kalo::platform
