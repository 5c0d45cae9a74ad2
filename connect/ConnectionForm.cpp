#include "ConnectionForm.h"

#include "RegistryKeyPaths.h"
#include "SerialSettingsText.h"
#include "platform/Text.h"
#include "port/CPrinterPort.h"
#include "port/ModelTable.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace kalo {

using platform::StartsWith;
using platform::LeadingDecimal;
using platform::StartsWithNoCase;

std::string ListControl::SelectedText() const
{
    return selected >= 0 && selected < int(items.size()) ? items[size_t(selected)] : std::string();
}

void ListControl::SelectBeginningWith(const std::string& prefix)
{
    const int n = int(items.size());
    for (int step = 1; step <= n; ++step) {
        const int i = step % n;
        if (StartsWithNoCase(items[size_t(i)], prefix)) {
            selected = i;
            return;
        }
    }
    selected = -1;
}

void ListControl::SelectPort(const std::string& name)
{
    if (!StartsWith(name, "/")) {
        SelectBeginningWith(name);
        return;
    }
    const size_t at = size_t(std::find(items.begin(), items.end(), name) - items.begin());
    if (at == items.size())
        items.push_back(name);
    selected = int(at);
}

namespace {

// The fixed entries, then the devices found, each described beside its path.
void ListPorts(ListControl& list, const std::vector<std::string>& fixed,
               const std::function<std::vector<platform::DevicePathInfo>()>& enumerate)
{
    list.items = fixed;
    list.descriptions.assign(fixed.size(), std::string());
    if (!enumerate)
        return;
    for (const platform::DevicePathInfo& device : enumerate()) {
        list.items.push_back(device.path);
        list.descriptions.push_back(device.description);
    }
}

} // namespace

const std::vector<std::string> ConnectionForm::kSerialPorts = {
    "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
    "\\\\.\\COM10", "\\\\.\\COM11", "\\\\.\\COM12", "\\\\.\\COM13", "\\\\.\\COM14"};
const std::vector<std::string> ConnectionForm::kParallelPorts = {"LPT1", "LPT2", "LPT3"};
const std::vector<std::string> ConnectionForm::kBaudRates = {"2400", "4800", "9600", "19200", "38400", "57600", "115200"};

ConnectionForm::ConnectionForm()
{
    dataBitsList.items = {"8", "7"};
    parityList.items = {"None", "Odd", "Even", "Mark", "Space"};
    stopBitsList.items = {"1", "1.5", "2"};
    flowList.items = {"Hardware", "Xon/Xoff", "None"};
}

void ConnectionForm::UpdateData(bool saveAndValidate)
{
    if (saveAndValidate) {
        interfaceKind = interfaceRadio;
        // Anything but a whole number counts as no port, which the port
        // factory refuses ("Port Configuration Set Error!").
        char* end = nullptr;
        const long value = std::strtol(tcpPortText.c_str(), &end, 10);
        const bool whole = !tcpPortText.empty() && *end == '\0' && value >= 0 && value <= 0x7FFFFFFF;
        tcpPort = whole ? int32_t(value) : 0;
    } else {
        interfaceRadio = interfaceKind;
        tcpPortText = std::to_string(tcpPort);
    }
}

std::string ConnectionForm::IpAddressText() const
{
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", ipFields[0], ipFields[1], ipFields[2], ipFields[3]);
    return text;
}

void ConnectionForm::InitDialog(const CRegistryKey& registry)
{
    std::sscanf(kDefaultAddress, "%d.%d.%d.%d", &ipFields[0], &ipFields[1], &ipFields[2], &ipFields[3]);
    tcpPort = kDefaultTcpPort;
    FillPortList(PortKind::Serial);
    portList.Select(0);
    baudList.Select(2);
    dataBitsList.Select(0);
    parityList.Select(0);
    stopBitsList.Select(0);
    flowList.Select(0);
    if (!targetPrinter.empty())
        Preselect(registry);
}

void ConnectionForm::FillPortList(PortKind kind)
{
    portList.items.clear();
    portList.descriptions.clear();
    portList.selected = -1;
    baudList.enabled = dataBitsList.enabled = parityList.enabled = stopBitsList.enabled = flowList.enabled = false;
    ipEnabled = tcpPortEnabled = false;

    switch (kind) {
    case PortKind::Parallel:
        ListPorts(portList, kParallelPorts, enumerateParallel);
        portList.enabled = true;
        break;
    case PortKind::Serial:
        ListPorts(portList, kSerialPorts, enumerateSerial);
        baudList.items = kBaudRates;
        baudList.Select(3);
        baudList.enabled = dataBitsList.enabled = parityList.enabled = stopBitsList.enabled = flowList.enabled = true;
        portList.enabled = true;
        break;
    case PortKind::Ethernet:
        portList.enabled = false;
        ipEnabled = tcpPortEnabled = true;
        if (portName.empty()) {
            std::sscanf(kDefaultAddress, "%d.%d.%d.%d", &ipFields[0], &ipFields[1], &ipFields[2], &ipFields[3]);
            portName = kDefaultAddress;
            tcpPort = kDefaultTcpPort;
        }
        interfaceKind = PortKind::Ethernet;
        UpdateData(false);
        break;
    case PortKind::Usb: {
        if (enumerateUsb)
            portList.items = enumerateUsb();
        if (portList.items.empty()) {
            if (messages)
                messages->Show(kNoUsbPrinter, "Information", platform::MessageIcon::Information);
            interfaceKind = PortKind::Serial;
            FillPortList(PortKind::Serial);
            baudList.Select(2);
            dataBitsList.Select(0);
            parityList.Select(0);
            stopBitsList.Select(0);
            flowList.Select(0);
        }
        portList.Select(0);
        portList.enabled = true;
        UpdateData(false);
        return;
    }
    }

    if (targetPrinter.empty())
        return;
    // Started for one printer: whatever the members hold is chosen again.
    switch (interfaceKind) {
    case PortKind::Serial:
        portList.SelectPort(portName);
        baudList.SelectBeginningWith(std::to_string(baudRate));
        dataBitsList.Select(dataBits == 8 ? 0 : 1);
        parityList.Select(parity);
        stopBitsList.Select(stopBits);
        flowList.Select(flowControl);
        break;
    case PortKind::Parallel:
        portList.SelectPort(portName);
        break;
    case PortKind::Usb:
        portList.Select(0);
        break;
    case PortKind::Ethernet: {
        size_t dots[3];
        size_t from = 0;
        for (size_t& dot : dots) {
            dot = portName.find('.', from);
            if (dot == std::string::npos)
                return;
            from = dot + 1;
        }
        ipFields[0] = LeadingDecimal(portName.substr(0, dots[0]));
        ipFields[1] = LeadingDecimal(portName.substr(dots[0] + 1, dots[1] - dots[0] - 1));
        ipFields[2] = LeadingDecimal(portName.substr(dots[1] + 1, dots[2] - dots[1] - 1));
        ipFields[3] = LeadingDecimal(portName.substr(dots[2] + 1));
        for (int& field : ipFields)
            field = field < 0 ? 0 : field > 255 ? 255 : field;
        break;
    }
    }
}

void ConnectionForm::RefillUsbList()
{
    const std::string chosen = portList.SelectedText();
    portList.items = enumerateUsb ? enumerateUsb() : std::vector<std::string>();
    const auto kept = std::find(portList.items.begin(), portList.items.end(), chosen);
    portList.Select(kept != portList.items.end() ? int(kept - portList.items.begin()) : 0);
    portList.enabled = true;
}

void ConnectionForm::Preselect(const CRegistryKey& registry)
{
    for (const ModelInfo& model : kModels) {
        if (targetPrinter == model.customKeyName) {
            registryKey = std::string(model.customRegistryKey);
            ReadCustomPortSettings(registry);
            return;
        }
    }
    registryKey = kPrintersKey + targetPrinter;
    ReadWindowsPortSettings(registry);
}

void ConnectionForm::ReadWindowsPortSettings(const CRegistryKey& registry)
{
    registry.ReadText(registryKey, "Port", portName);
    // A device path is the port itself, without the colon of a COM or LPT name.
    const bool path = StartsWith(portName, "/");
    const PortKind pathKind = DevicePathKind(portName);
    if (StartsWith(portName, "COM") || (path && pathKind == PortKind::Serial)) {
        interfaceKind = PortKind::Serial;
        std::string text;
        registry.ReadText(kPortsKey, portName, text);
        const SerialSettings settings = ReadSerialSettingsText(text);
        baudRate = settings.baudRate;
        parity = settings.parity.value_or(parity);
        dataBits = settings.dataBits.value_or(dataBits);
        stopBits = settings.stopBits.value_or(stopBits);
        flowControl = settings.flowControl.value_or(flowControl);
        if (!path)
            portName.pop_back();
    } else if (StartsWith(portName, "LPT") || (path && pathKind == PortKind::Parallel)) {
        interfaceKind = PortKind::Parallel;
        if (!path)
            portName.pop_back();
    } else if (StartsWith(portName, "USB") || path) { // a path left is a USB printer's node
        interfaceKind = PortKind::Usb;
    } else if (StartsWith(portName, "IP")) {
        interfaceKind = PortKind::Ethernet;
        const std::string portKey = kTcpPortsKey + portName;
        portName.erase(0, 3);
        ReadPresetTcpPort(registry, portKey, "PortNumber");
    } else {
        return;
    }
    preselected = true;
    FillPortList(interfaceKind);
    UpdateData(false);
}

void ConnectionForm::ReadCustomPortSettings(const CRegistryKey& registry)
{
    registry.ReadText(registryKey, "Port", portName);
    const bool path = StartsWith(portName, "/");
    const PortKind pathKind = DevicePathKind(portName);
    if (StartsWith(portName, "COM") || (path && pathKind == PortKind::Serial)) {
        interfaceKind = PortKind::Serial;
        registry.ReadNumber(registryKey, "BaudRate", baudRate);
    } else if (StartsWith(portName, "LPT") || (path && pathKind == PortKind::Parallel)) {
        interfaceKind = PortKind::Parallel;
    } else if (StartsWith(portName, "USB")) {
        interfaceKind = PortKind::Usb;
        std::string device;
        registry.ReadText(registryKey, "UsbdeviceName", device);
        portName += device;
    } else if (StartsWith(portName, "NET")) {
        interfaceKind = PortKind::Ethernet;
        portName.clear();
        registry.ReadText(registryKey, "TcpIp", portName);
        ReadPresetTcpPort(registry, registryKey, "TcpPort");
    } else {
        return;
    }
    preselected = true;
    registry.ReadNumber(registryKey, "DataBits", dataBits);
    registry.ReadNumber(registryKey, "FlowControl", flowControl);
    registry.ReadNumber(registryKey, "Parity", parity);
    registry.ReadNumber(registryKey, "StopBits", stopBits);
    FillPortList(interfaceKind);
    UpdateData(false);
}

void ConnectionForm::ReadPresetTcpPort(const CRegistryKey& registry, const std::string& key, const char* valueName)
{
    if (portName.empty())
        portName = kDefaultAddress;
    // The port goes with the address: an address the IP box cannot show
    // (fewer than three dots) brings neither, and a missing port is none (0).
    if (std::count(portName.begin(), portName.end(), '.') < 3)
        return;
    tcpPort = 0;
    registry.ReadNumber(key, valueName, tcpPort);
}

void ConnectionForm::ReadLineSettings()
{
    UpdateData(true);
    if (interfaceKind != PortKind::Ethernet)
        portName = portList.SelectedText();
    baudRate = LeadingDecimal(baudList.SelectedText());
    dataBits = LeadingDecimal(dataBitsList.SelectedText());
    flowControl = flowList.selected;
    stopBits = stopBitsList.selected;
    if (parityList.selected >= 0)
        parity = parityList.selected;
}

void ConnectionForm::InterfaceSerial()
{
    interfaceKind = PortKind::Serial;
    portName = "COM1:";
    FillPortList(PortKind::Serial);
    portList.Select(0);
    baudList.Select(3);
    dataBitsList.Select(0);
}

void ConnectionForm::InterfaceParallel()
{
    interfaceKind = PortKind::Parallel;
    portName = "LPT1";
    FillPortList(PortKind::Parallel);
    portList.Select(0);
}

void ConnectionForm::InterfaceUsb()
{
    interfaceKind = PortKind::Usb;
    FillPortList(PortKind::Usb);
    portList.Select(0);
    UpdateData(false);
}

void ConnectionForm::InterfaceEthernet()
{
    interfaceKind = PortKind::Ethernet;
    FillPortList(PortKind::Ethernet);
    // Check Communication on another interface takes the disabled TCP port
    // box's "0" into the member; a network printer is never at port 0.
    if (tcpPort == 0) {
        tcpPort = kDefaultTcpPort;
        tcpPortText = std::to_string(tcpPort);
    }
}

PortSettings ConnectionForm::BuildPortSettings()
{
    UpdateData(true);
    PortSettings settings;
    if (interfaceKind == PortKind::Ethernet) {
        settings = NetworkPortSettings(IpAddressText(), uint32_t(tcpPort));
    } else {
        ReadLineSettings();
        settings = LinePortSettings(portName, uint32_t(baudRate), uint32_t(dataBits), uint32_t(stopBits),
                                    uint32_t(parity), uint32_t(flowControl));
    }
    UpdateData(true);
    return settings;
}

bool ConnectionForm::NeedsSpoolerRedirect(const std::string& name)
{
    return StartsWith(name, "COM") || StartsWith(name, "LPT") || StartsWith(name, "/");
}

} // namespace kalo
