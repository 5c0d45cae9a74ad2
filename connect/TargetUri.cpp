#include "TargetUri.h"

#include "ConnectionForm.h"
#include "LineSettings.h"
#include "platform/Text.h"

#include <algorithm>
#include <charconv>

namespace kalo {

namespace {

constexpr uint32_t kDefaultTcpPort = 9100;

// The serial settings of a URI, each with the values kaloctl's line options take.
struct SerialKey {
    const char* key;
    const LineSettingValues& (*values)();
    uint32_t ConnectionOptions::*field;
};
const SerialKey kSerialKeys[] = {
    {"baud", BaudRateValues, &ConnectionOptions::baudRate},
    {"bits", DataBitsValues, &ConnectionOptions::dataBits},
    {"parity", ParityValues, &ConnectionOptions::parity},
    {"stop", StopBitsValues, &ConnectionOptions::stopBits},
    {"flow", FlowValues, &ConnectionOptions::flowControl},
};

std::string Quoted(const std::string& text)
{
    return "'" + text + "'";
}

// Digits only, as kaloctl's --tcp reads its port.
bool ReadTcpPort(const std::string& text, uint32_t& port)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    int64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number < 1 || number > 65535)
        return false;
    port = uint32_t(number);
    return true;
}

bool Unreserved(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
        || c == '_' || c == '~';
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = platform::LowerChar(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The list entry whose name without the device namespace is name, in any case.
bool FindPort(const std::vector<std::string>& ports, const std::string& name, std::string& port, std::string& error)
{
    for (const std::string& entry : ports) {
        if (platform::Lower(platform::PortMap::BaseName(entry)) == platform::Lower(name)) {
            port = entry;
            return true;
        }
    }
    std::string names = platform::PortMap::BaseName(ports.front());
    for (size_t i = 1; i < ports.size() && ports.size() <= 3; ++i)
        names += ", " + platform::PortMap::BaseName(ports[i]);
    if (ports.size() > 3)
        names += "-" + platform::PortMap::BaseName(ports.back());
    error = (name.empty() ? std::string("the port is missing:") : Quoted(name) + " is not") + " one of " + names;
    return false;
}

// A device path as a serial: or parallel: URI writes it, taken literally:
// it begins with one '/' and holds no space, control character, '#' or '?'.
bool ReadDevicePath(const std::string& text, std::string& port, std::string& error)
{
    if (platform::StartsWith(text, "//")) {
        error = Quoted(text) + " is not a device path (one '/' begins it, as in /dev/ttyUSB0)";
        return false;
    }
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f || c == '#' || c == '?') {
            error = Quoted(text) + " has a character a device path here cannot hold";
            return false;
        }
    }
    port = text;
    return true;
}

// A port of the list by its name, or a device path.
bool FindPortOrPath(const std::vector<std::string>& ports, const std::string& name, std::string& port,
                    std::string& error)
{
    return platform::StartsWith(name, "/") ? ReadDevicePath(name, port, error) : FindPort(ports, name, port, error);
}

bool ReadSocket(const std::string& rest, ConnectionOptions& options, std::string& error)
{
    if (!platform::StartsWith(rest, "//")) {
        error = Quoted("socket:" + rest) + " lacks the // before the host";
        return false;
    }
    const std::string authority = rest.substr(2, rest.find_first_of("/?#", 2) - 2);
    if (authority.size() + 2 < rest.size()) {
        error = Quoted(rest.substr(authority.size() + 2)) + " follows the host; socket:// takes HOST[:PORT] only";
        return false;
    }
    const size_t colon = authority.rfind(':');
    const std::string host = authority.substr(0, colon);
    if (host.empty()) {
        error = "socket:// names no host";
        return false;
    }
    for (const char c : host) {
        if (!Unreserved(c) || c == '~') {
            error = Quoted(host) + " is not a dotted address or host name";
            return false;
        }
    }
    options.interfaceKind = PortKind::Ethernet;
    options.address = host;
    options.tcpPort = kDefaultTcpPort;
    if (colon == std::string::npos)
        return true;
    const std::string port = authority.substr(colon + 1);
    uint32_t number = 0;
    if (!ReadTcpPort(port, number)) {
        error = Quoted(":" + port) + " is not a TCP port, 1-65535";
        return false;
    }
    options.tcpPort = number;
    return true;
}

bool ReadSetting(const std::string& part, const std::string& settings, std::vector<std::string>& seen,
                 ConnectionOptions& options, std::string& error)
{
    if (part.empty()) {
        error = "an empty setting in " + Quoted(settings);
        return false;
    }
    const size_t equals = part.find('=');
    if (equals == std::string::npos) {
        error = Quoted(part) + " is not KEY=VALUE";
        return false;
    }
    const std::string key = part.substr(0, equals);
    for (const SerialKey& known : kSerialKeys) {
        if (key != known.key)
            continue;
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
            error = Quoted(part) + " repeats " + key;
            return false;
        }
        seen.push_back(key);
        const LineSettingValues& values = known.values();
        if (!values.Read(part.substr(equals + 1), options.*known.field)) {
            error = Quoted(part) + " is not one of " + values.Describe();
            return false;
        }
        return true;
    }
    std::string keys;
    for (const SerialKey& known : kSerialKeys)
        keys += (keys.empty() ? "" : ", ") + std::string(known.key);
    error = Quoted(part) + ": " + Quoted(key) + " is not one of " + keys;
    return false;
}

bool ReadSerial(const std::string& rest, ConnectionOptions& options, std::string& error)
{
    const size_t question = rest.find('?');
    options.interfaceKind = PortKind::Serial;
    if (!FindPortOrPath(ConnectionForm::kSerialPorts, rest.substr(0, question), options.serialPort, error))
        return false;
    if (question == std::string::npos)
        return true;
    const std::string settings = rest.substr(question + 1);
    std::vector<std::string> seen;
    size_t begin = 0;
    while (true) {
        const size_t end = settings.find_first_of("+&", begin);
        if (!ReadSetting(settings.substr(begin, end - begin), settings, seen, options, error))
            return false;
        if (end == std::string::npos)
            return true;
        begin = end + 1;
    }
}

bool ReadUsb(const std::string& rest, ConnectionOptions& options, std::string& error)
{
    options.interfaceKind = PortKind::Usb;
    options.usbDevice.clear();
    if (platform::StartsWith(rest, "//")) {
        error = Quoted("usb:" + rest) + " is a print queue's URI; kaloctl takes usb: or usb:SERIAL";
        return false;
    }
    for (size_t i = 0; i < rest.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(rest[i]);
        if (c == '%') {
            const int high = i + 2 < rest.size() ? HexDigit(rest[i + 1]) : -1;
            const int low = high >= 0 ? HexDigit(rest[i + 2]) : -1;
            if (low < 0) {
                error = Quoted(rest.substr(i, 3)) + " is not a %XX escape";
                return false;
            }
            const int byte = high * 16 + low;
            if (byte < 0x20 || byte == 0x7f) {
                error = Quoted(rest.substr(i, 3)) + " is a control character, not part of a serial number";
                return false;
            }
            options.usbDevice += char(byte);
            i += 2;
        } else if (c <= 0x20 || c >= 0x7f || c == '?' || c == '#') {
            error = Quoted(rest) + " has " + (c == '?' ? "settings; usb: takes none" : "a character to write as %XX");
            return false;
        } else {
            options.usbDevice += char(c);
        }
    }
    return true;
}

} // namespace

bool ParseTargetUri(const std::string& text, ConnectionOptions& options, std::string& error)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        error = Quoted(text) + " is not a URI: it begins with socket://, serial:, parallel: or usb:";
        return false;
    }
    const std::string scheme = platform::Lower(text.substr(0, colon));
    const std::string rest = text.substr(colon + 1);
    ConnectionOptions read = DefaultConnectionOptions();
    bool taken = false;
    if (scheme == "socket") {
        taken = ReadSocket(rest, read, error);
    } else if (scheme == "serial") {
        taken = ReadSerial(rest, read, error);
    } else if (scheme == "parallel") {
        read.interfaceKind = PortKind::Parallel;
        taken = FindPortOrPath(ConnectionForm::kParallelPorts, rest, read.parallelPort, error);
    } else if (scheme == "usb") {
        taken = ReadUsb(rest, read, error);
    } else {
        error = Quoted(text.substr(0, colon + 1)) + " is not one of socket://, serial:, parallel:, usb:";
    }
    if (taken)
        options = std::move(read);
    return taken;
}

std::string FormatTargetUri(const ConnectionOptions& options)
{
    if (!options.printer.empty())
        return "";
    switch (options.interfaceKind) {
    case PortKind::Ethernet:
        return "socket://" + options.address + ":" + std::to_string(options.tcpPort);
    case PortKind::Parallel:
        return "parallel:" + platform::PortMap::BaseName(options.parallelPort);
    case PortKind::Usb: {
        static const char kHex[] = "0123456789ABCDEF";
        std::string uri = "usb:";
        for (const char c : options.usbDevice) {
            const auto byte = static_cast<unsigned char>(c);
            uri += Unreserved(c) ? std::string(1, c) : std::string{'%', kHex[byte >> 4], kHex[byte & 15]};
        }
        return uri;
    }
    case PortKind::Serial:
        break;
    }
    std::string uri = "serial:" + platform::PortMap::BaseName(options.serialPort);
    for (const SerialKey& key : kSerialKeys) {
        uri += std::string(&key == kSerialKeys ? "?" : "+") + key.key + "="
            + key.values().Spell(options.*key.field);
    }
    return uri;
}

std::string DeviceIdentity(const ConnectionOptions& options, const platform::PortMap& ports)
{
    if (!options.printer.empty())
        return "printer:" + options.printer;
    switch (options.interfaceKind) {
    case PortKind::Ethernet:
        return "socket://" + platform::Lower(options.address) + ":" + std::to_string(options.tcpPort);
    case PortKind::Parallel:
        return "device:" + ports.DevicePath(options.parallelPort);
    case PortKind::Usb:
        return "usb:" + options.usbDevice;
    case PortKind::Serial:
        break;
    }
    return "device:" + ports.DevicePath(options.serialPort);
}

} // namespace kalo
