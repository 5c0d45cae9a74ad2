#include "Connection.h"

#include "ConnectionForm.h"
#include "LineSettings.h"
#include "platform/Text.h"
#include "port/CPrinterPort.h"
#include "port/UsbPrinterSearch.h"

#include <algorithm>

namespace kalo {

PortSettings ConnectionOptions::ToPortSettings() const
{
    if (interfaceKind == PortKind::Ethernet)
        return NetworkPortSettings(address, tcpPort);
    if (interfaceKind == PortKind::Parallel)
        return LinePortSettings(parallelPort, baudRate, dataBits, stopBits, parity, flowControl);
    return LinePortSettings(serialPort, baudRate, dataBits, stopBits, parity, flowControl);
}

ConnectionOptions DefaultConnectionOptions()
{
    ConnectionOptions options;
    BaudRateValues().Read(kDefaultBaudRate, options.baudRate);
    DataBitsValues().Read(kDefaultDataBits, options.dataBits);
    ParityValues().Read(kDefaultParity, options.parity);
    StopBitsValues().Read(kDefaultStopBits, options.stopBits);
    FlowValues().Read(kDefaultFlow, options.flowControl);
    return options;
}

std::string UnknownPrinterRefusal(const std::string& printer, const CRegistryKey& registry,
                                  const std::string& registryFile)
{
    ConnectionForm form;
    form.targetPrinter = printer;
    form.UpdateData(false);
    form.Preselect(registry);
    if (form.preselected)
        return {};
    const std::string name = "'" + platform::Printable(printer) + "'";
    if (std::string port; registry.ReadText(form.registryKey, "Port", port))
        return "printer " + name + " is on port '" + platform::Printable(port) + "', which kaloctl cannot reach";
    if (registryFile.empty())
        return "no printer " + name + " among the CUPS queues (lpstat -e lists them), and no registry file "
               "(KALO_REGISTRY, ~/.config/kalo/registry.reg or /etc/kalo/registry.reg)";
    return "no printer " + name + " in the registry file " + registryFile
           + " or among the CUPS queues (lpstat -e lists them)";
}

std::string PathKindRefusal(const ConnectionOptions& options, platform::Platform& platform)
{
    const std::string& path = options.interfaceKind == PortKind::Parallel ? options.parallelPort
        : options.interfaceKind == PortKind::Usb                         ? options.usbDevice
                                                                          : options.serialPort;
    if (options.interfaceKind == PortKind::Ethernet || !platform::StartsWith(path, "/"))
        return {};
    const std::optional<PortChoice> choice = ChoosePortKind(LinePortSettings(path, 0, 0, 0, 0, 0), platform);
    const auto kindText = [](PortKind kind) {
        return kind == PortKind::Serial ? "a serial line" : kind == PortKind::Parallel ? "a parallel port" : "a USB printer";
    };
    if (!choice || choice->kind == options.interfaceKind)
        return {};
    return platform::Printable(path) + " is " + kindText(choice->kind) + ", not " + kindText(options.interfaceKind);
}

ResolvedConnection ResolveConnection(const ConnectionOptions& options, const CRegistryKey& registry,
                                     platform::Platform& platform, std::ostream& diagnostics)
{
    ResolvedConnection resolved;
    // A typed device path is opened as it is, found in no list.
    if (options.interfaceKind == PortKind::Usb && platform::StartsWith(options.usbDevice, "/")) {
        resolved.settings = LinePortSettings(options.usbDevice, options.baudRate, options.dataBits, options.stopBits,
                                             options.parity, options.flowControl);
        resolved.interfaceKind = PortKind::Usb;
        resolved.portName = options.usbDevice;
        return resolved;
    }
    if (options.interfaceKind == PortKind::Usb) {
        const UsbPrinterSearch search = FindUsbPrinters(platform, diagnostics);
        const auto& printers = search.printers;
        const auto chosen = std::find_if(printers.begin(), printers.end(), [&](const UsbPrinterEntry& entry) {
            return options.usbDevice.empty() || entry.text == options.usbDevice
                || (!entry.device.serial.empty() && entry.device.serial == options.usbDevice);
        });
        resolved.interfaceKind = PortKind::Usb;
        if (chosen == printers.end()) {
            resolved.refusal = options.usbDevice.empty() || printers.empty()
                ? std::string(ConnectionForm::kNoUsbPrinter)
                : "No printer on USB is '" + options.usbDevice + "'; kaloctl list-usb lists those found.";
            return resolved;
        }
        resolved.settings = LinePortSettings(chosen->text, options.baudRate, options.dataBits, options.stopBits,
                                             options.parity, options.flowControl);
        resolved.portName = chosen->text;
        return resolved;
    }
    if (options.printer.empty()) {
        resolved.settings = options.ToPortSettings();
        resolved.interfaceKind = options.interfaceKind;
        resolved.portName = resolved.settings.portName;
        return resolved;
    }
    ConnectionForm form;
    form.targetPrinter = options.printer;
    form.messages = &platform.Messages();
    form.UpdateData(false);
    form.InitDialog(registry);
    resolved.settings = form.BuildPortSettings();
    resolved.interfaceKind = form.interfaceKind;
    resolved.portName = form.portName;
    return resolved;
}

} // namespace kalo
