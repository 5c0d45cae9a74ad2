#include "PortMap.h"

#include <cstdlib>

namespace kalo::platform {

namespace {
const char kDeviceNamespace[] = "\\\\.\\";

bool ParseNumbered(const std::string& name, const char* prefix, int& number)
{
    const std::string p(prefix);
    if (name.size() <= p.size() || name.compare(0, p.size(), p) != 0)
        return false;
    int value = 0;
    for (size_t i = p.size(); i < name.size(); ++i) {
        const char c = name[i];
        if (c < '0' || c > '9' || value > 999)
            return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1)
        return false;
    number = value;
    return true;
}
} // namespace

PortMap::PortMap(Lookup lookup)
    : m_lookup(lookup ? std::move(lookup) : Lookup([](const char* name) { return std::getenv(name); }))
{
}

std::string PortMap::BaseName(const std::string& portName)
{
    const std::string ns(kDeviceNamespace);
    if (portName.compare(0, ns.size(), ns) == 0)
        return portName.substr(ns.size());
    return portName;
}

std::string PortMap::VariableName(const std::string& portName)
{
    return "KALO_PORT_" + BaseName(portName);
}

std::string PortMap::DevicePath(const std::string& portName) const
{
    const std::string base = BaseName(portName);
    int number = 0;
    const bool isCom = ParseNumbered(base, "COM", number);
    const bool isLpt = !isCom && ParseNumbered(base, "LPT", number);
    if (!isCom && !isLpt)
        return portName;
    const std::string variable = VariableName(portName);
    if (const char* overridden = m_lookup(variable.c_str()); overridden && *overridden)
        return overridden;
    return (isCom ? "/dev/ttyS" : "/dev/lp") + std::to_string(number - 1);
}

} // namespace kalo::platform
