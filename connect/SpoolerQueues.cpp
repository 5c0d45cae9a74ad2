#include "SpoolerQueues.h"

namespace kalo {

const char kDiscardUri[] = "file:///dev/null";

namespace {

// The device path of "serial:/dev/ttyS0?baud=9600" or "parallel:/dev/lp0".
std::string DeviceOf(const std::string& uri, const std::string& scheme)
{
    std::string rest = uri.substr(scheme.size());
    const size_t options = rest.find('?');
    return options == std::string::npos ? rest : rest.substr(0, options);
}

std::string HostOf(const std::string& uri)
{
    std::string rest = uri.substr(uri.find("//") == std::string::npos ? uri.size() : uri.find("//") + 2);
    const size_t end = rest.find_first_of(":/?");
    return end == std::string::npos ? rest : rest.substr(0, end);
}

std::string NamedPort(const std::string& device, const char* prefix, int count, const platform::PortMap& ports)
{
    for (int n = 1; n <= count; ++n) {
        const std::string name = prefix + std::to_string(n);
        if (ports.DevicePath(name) == device)
            return name + ":";
    }
    return "";
}

// The device of a serial or parallel URI; empty for any other.
std::string LineDeviceOf(const std::string& uri)
{
    for (const char* scheme : {"serial:", "parallel:"})
        if (uri.rfind(scheme, 0) == 0)
            return DeviceOf(uri, scheme);
    return "";
}

// Whether the queue prints to portName: a path names one device; a COM or
// LPT name is looked for anywhere in the queue's port text.
bool QueueOn(const platform::SpoolerQueue& queue, const platform::PortMap& ports, const std::string& portName)
{
    return portName.rfind('/', 0) == 0 ? LineDeviceOf(queue.deviceUri) == portName
                                       : PortTextOf(queue.deviceUri, ports).find(portName) != std::string::npos;
}

} // namespace

std::string PortTextOf(const std::string& deviceUri, const platform::PortMap& ports)
{
    std::string named;
    const std::string device = LineDeviceOf(deviceUri);
    if (!device.empty()) {
        named = deviceUri[0] == 's' ? NamedPort(device, "COM", 14, ports) : NamedPort(device, "LPT", 3, ports);
        // A device no COM or LPT name maps to is named by its path.
        if (named.empty() && device[0] == '/')
            named = device;
    } else if (deviceUri.rfind("usb:", 0) == 0)
        named = "USB001";
    else if (deviceUri.rfind("socket:", 0) == 0)
        named = "IP_" + HostOf(deviceUri);
    else if (deviceUri == kDiscardUri)
        named = "FILE:";
    return named.empty() ? deviceUri : named;
}

void RedirectSpoolerQueues(platform::Spooler& spooler, const platform::PortMap& ports, const std::string& portName,
                           SavedPrinterPorts& saved)
{
    std::vector<platform::SpoolerQueue> queues;
    if (!spooler.ListQueues(queues))
        return;
    bool ok = true;
    for (const platform::SpoolerQueue& queue : queues) {
        if (!QueueOn(queue, ports, portName))
            continue;
        saved[queue.name] = queue.deviceUri;
        // Once one queue could not be read, the rest are remembered but left alone.
        std::string current;
        if (ok && !spooler.GetDeviceUri(queue.name, current))
            ok = false;
        if (ok)
            spooler.SetDeviceUri(queue.name, kDiscardUri);
    }
}

std::string QueuePrintingOn(platform::Spooler& spooler, const platform::PortMap& ports, const std::string& portName)
{
    std::vector<platform::SpoolerQueue> queues;
    if (!spooler.ListQueues(queues))
        return "";
    for (const platform::SpoolerQueue& queue : queues) {
        if (queue.printing && QueueOn(queue, ports, portName))
            return queue.name;
    }
    return "";
}

void RestoreSpoolerQueues(platform::Spooler& spooler, SavedPrinterPorts& saved)
{
    if (saved.empty())
        return;
    bool ok = true;
    for (const auto& [name, uri] : saved) {
        std::string current;
        if (ok && !spooler.GetDeviceUri(name, current))
            ok = false;
        if (ok)
            spooler.SetDeviceUri(name, uri);
    }
    saved.clear();
}

} // namespace kalo
