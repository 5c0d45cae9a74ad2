#include "ConnectionForm.h"

#include "port/ModelTable.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace kalo {

namespace {

const char kPrintersKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
const char kPortsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kTcpPortsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports\\";
const char kNoUsbPrinter[] = "Printer is not connected by USB.\nPlease, turn on the printer!!";

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

// The leading decimal number of text, 0 when there is none (as atoi reads it).
int32_t Decimal(const std::string& text)
{
    return int32_t(std::strtol(text.c_str(), nullptr, 10));
}

} // namespace

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
    tcpPort = 9100;
    FillPortList(0);
    portList.Select(0);
    baudList.Select(2);
    dataBitsList.Select(0);
    parityList.Select(0);
    stopBitsList.Select(0);
    flowList.Select(0);
    if (!targetPrinter.empty())
        Preselect(registry);
}

void ConnectionForm::FillPortList(int kind)
{
    portList.items.clear();
    portList.selected = -1;
    baudList.enabled = dataBitsList.enabled = parityList.enabled = stopBitsList.enabled = flowList.enabled = false;
    ipEnabled = tcpPortEnabled = false;

    switch (kind) {
    case 1:
        portList.items = kParallelPorts;
        portList.enabled = true;
        break;
    case 0:
        portList.items = kSerialPorts;
        baudList.items = kBaudRates;
        baudList.Select(3);
        baudList.enabled = dataBitsList.enabled = parityList.enabled = stopBitsList.enabled = flowList.enabled = true;
        portList.enabled = true;
        break;
    case 3:
        portList.enabled = false;
        ipEnabled = tcpPortEnabled = true;
        if (portName.empty()) {
            std::sscanf(kDefaultAddress, "%d.%d.%d.%d", &ipFields[0], &ipFields[1], &ipFields[2], &ipFields[3]);
            portName = kDefaultAddress;
            tcpPort = 9100;
        }
        interfaceKind = 3;
        UpdateData(false);
        break;
    case 2: {
        if (enumerateUsb)
            portList.items = enumerateUsb();
        if (portList.items.empty()) {
            if (messages)
                messages->Show(kNoUsbPrinter, "Information", platform::MessageIcon::Information);
            interfaceKind = 0;
            FillPortList(0);
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
    default:
        break;
    }

    if (targetPrinter.empty())
        return;
    // Started for one printer: whatever the members hold is chosen again.
    switch (interfaceKind) {
    case 0:
        portList.SelectBeginningWith(portName);
        baudList.SelectBeginningWith(std::to_string(baudRate));
        dataBitsList.Select(dataBits == 8 ? 0 : 1);
        parityList.Select(parity);
        stopBitsList.Select(stopBits);
        flowList.Select(flowControl);
        break;
    case 1:
        portList.SelectBeginningWith(portName);
        break;
    case 2:
        portList.Select(0);
        break;
    case 3: {
        size_t dots[3];
        size_t from = 0;
        for (size_t& dot : dots) {
            dot = portName.find('.', from);
            if (dot == std::string::npos)
                return;
            from = dot + 1;
        }
        ipFields[0] = Decimal(portName.substr(0, dots[0]));
        ipFields[1] = Decimal(portName.substr(dots[0] + 1, dots[1] - dots[0] - 1));
        ipFields[2] = Decimal(portName.substr(dots[1] + 1, dots[2] - dots[1] - 1));
        ipFields[3] = Decimal(portName.substr(dots[2] + 1));
        for (int& field : ipFields)
            field = field < 0 ? 0 : field > 255 ? 255 : field;
        tcpPort = baudRate;
        break;
    }
    default:
        break;
    }
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
    if (StartsWith(portName, "COM")) {
        interfaceKind = 0;
        std::string settings;
        registry.ReadText(kPortsKey, portName, settings);
        const size_t comma = settings.find(',');
        baudRate = Decimal(comma == std::string::npos ? std::string() : settings.substr(0, comma));
        const std::string r = comma == std::string::npos ? settings : settings.substr(comma + 1);
        portName.pop_back();
        // R[i] for i == size() reads as the end of R ('\0'); further on, the test is not made.
        auto at = [&r](size_t i) { return r[i]; };
        if (!r.empty()) {
            switch (at(0)) {
            case 'n': parity = 0; break;
            case 'o': parity = 1; break;
            case 'e': parity = 2; break;
            case 'm': parity = 3; break;
            case 's': parity = 4; break;
            default: break;
            }
        }
        if (r.size() > 2 && std::isdigit(static_cast<unsigned char>(at(2))))
            dataBits = at(2) - '0';
        if (r.size() > 4) {
            if (at(4) == '1' && (at(5) == ',' || at(5) == '\0'))
                stopBits = 0;
            else if (at(4) == '1' && at(5) == '.')
                stopBits = 1;
            else if (at(4) == '2')
                stopBits = 2;
        }
        if (r.size() >= 5) {
            const char flowAt = r.size() > 5 ? at(5) : '\0';
            if (flowAt == ',') {
                if (r.size() > 6 && at(6) == 'x')
                    flowControl = 1;
                else if (r.size() > 6 && at(6) == 'p')
                    flowControl = 0;
            } else if (flowAt == '.') {
                if (r.size() > 8 && at(8) == 'x')
                    flowControl = 1;
                else if (r.size() > 8 && at(8) == 'p')
                    flowControl = 0;
            } else {
                flowControl = 2;
            }
        }
    } else if (StartsWith(portName, "LPT")) {
        interfaceKind = 1;
        portName.pop_back();
    } else if (StartsWith(portName, "USB")) {
        interfaceKind = 2;
    } else if (StartsWith(portName, "IP")) {
        interfaceKind = 3;
        registry.ReadNumber(kTcpPortsKey + portName, "PortNumber", baudRate);
        portName.erase(0, 3);
    } else {
        return;
    }
    FillPortList(interfaceKind);
    UpdateData(false);
}

void ConnectionForm::ReadCustomPortSettings(const CRegistryKey& registry)
{
    registry.ReadText(registryKey, "Port", portName);
    if (StartsWith(portName, "COM")) {
        interfaceKind = 0;
    } else if (StartsWith(portName, "LPT")) {
        interfaceKind = 1;
    } else if (StartsWith(portName, "USB")) {
        interfaceKind = 2;
        std::string device;
        registry.ReadText(registryKey, "UsbdeviceName", device);
        portName += device;
    } else if (StartsWith(portName, "NET")) {
        interfaceKind = 3;
        portName.clear();
        registry.ReadText(registryKey, "TcpIp", portName);
        registry.ReadNumber(registryKey, "TcpPort", baudRate);
    } else {
        return;
    }
    registry.ReadNumber(registryKey, interfaceKind == 0 ? "BaudRate" : "TcpPort", baudRate);
    registry.ReadNumber(registryKey, "DataBits", dataBits);
    registry.ReadNumber(registryKey, "FlowControl", flowControl);
    registry.ReadNumber(registryKey, "Parity", parity);
    registry.ReadNumber(registryKey, "StopBits", stopBits);
    FillPortList(interfaceKind);
    UpdateData(false);
}

void ConnectionForm::ReadLineSettings()
{
    UpdateData(true);
    if (interfaceKind != 3)
        portName = portList.SelectedText();
    baudRate = Decimal(baudList.SelectedText());
    dataBits = Decimal(dataBitsList.SelectedText());
    flowControl = flowList.selected;
    stopBits = stopBitsList.selected;
    if (parityList.selected >= 0)
        parity = parityList.selected;
}

void ConnectionForm::InterfaceSerial()
{
    interfaceKind = 0;
    portName = "COM1:";
    FillPortList(0);
    portList.Select(0);
    baudList.Select(3);
    dataBitsList.Select(0);
}

void ConnectionForm::InterfaceParallel()
{
    interfaceKind = 1;
    portName = "LPT1";
    FillPortList(1);
    portList.Select(0);
}

void ConnectionForm::InterfaceUsb()
{
    interfaceKind = 2;
    FillPortList(2);
    portList.Select(0);
    UpdateData(false);
}

void ConnectionForm::InterfaceEthernet()
{
    interfaceKind = 3;
    FillPortList(3);
}

PortSettings ConnectionForm::BuildPortSettings()
{
    UpdateData(true);
    PortSettings settings;
    if (interfaceKind == 3) {
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
    return StartsWith(name, "COM") || StartsWith(name, "LPT");
}

} // namespace kalo
