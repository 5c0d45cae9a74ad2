#include "ConnectionOptions.h"

#include "cli/options/Option.h"
#include "TargetUri.h"
#include "app/ConnectionForm.h"
#include "port/UsbPrinterSearch.h"

#include <algorithm>

namespace kalo::cli {

namespace {

using Values = OptionValues;

const OptionTable<ConnectionOptions>& Table()
{
    static const OptionTable<ConnectionOptions> table = {
        {{"--serial", "PORT", "a port of the main window's list; the device behind each is set with KALO_PORT_<NAME>",
          Values::Names(ConnectionForm::kSerialPorts), "COM1", nullptr, true},
         [](ConnectionOptions& o, const OptionValue& v) { o.serialPort = v.text; }},
        {{"--parallel", "PORT",
          "a printer on a parallel port; LPTn is /dev/lp(n-1) unless KALO_PORT_LPTn names another",
          Values::Names(ConnectionForm::kParallelPorts), nullptr, nullptr, true},
         [](ConnectionOptions& o, const OptionValue& v) {
             o.interfaceKind = PortKind::Parallel;
             o.parallelPort = v.text;
         }},
        {{"--usb", "", "the first printer of the family found on USB (kaloctl list-usb lists them)",
          Values::None(), nullptr, nullptr, true},
         [](ConnectionOptions& o, const OptionValue&) {
             o.interfaceKind = PortKind::Usb;
             o.usbDevice.clear();
         }},
        {{"--usb-device", "ENTRY|SERIAL", "a printer on USB",
          Values::Text("an entry as kaloctl list-usb prints it, or the printer's USB serial number"), nullptr, nullptr,
          true},
         [](ConnectionOptions& o, const OptionValue& v) {
             o.interfaceKind = PortKind::Usb;
             o.usbDevice = v.text;
         }},
        {{"--baud", "RATE", "line speed", Values::NumbersOf(ConnectionForm::kBaudRates), "9600"},
         [](ConnectionOptions& o, const OptionValue& v) { o.baudRate = uint32_t(v.number); }},
        {{"--data-bits", "BITS", "data bits", Values::Numbers({{7, 8}}), "8"},
         [](ConnectionOptions& o, const OptionValue& v) { o.dataBits = uint32_t(v.number); }},
        {{"--parity", "PARITY", "parity", Values::Names({"none", "odd", "even", "mark", "space"}), "none"},
         [](ConnectionOptions& o, const OptionValue& v) { o.parity = uint32_t(v.number); }},
        {{"--stop-bits", "BITS", "stop bits; 1.5 is sent as 2 on Linux", Values::Names({"1", "1.5", "2"}), "1"},
         [](ConnectionOptions& o, const OptionValue& v) { o.stopBits = uint32_t(v.number); }},
        {{"--flow", "FLOW", "flow control", Values::Names({"hardware", "xonxoff", "none"}), "hardware"},
         [](ConnectionOptions& o, const OptionValue& v) { o.flowControl = uint32_t(v.number); }},
        {{"--tcp", "", "a printer on the network",
          Values::Fields({{"ADDRESS", '\0', Values::Text("a dotted address or host name")},
                          {"PORT", ':', Values::Numbers({{1, 65535}}), "9100"}}),
          nullptr, nullptr, true},
         [](ConnectionOptions& o, const OptionValue& v) {
             o.interfaceKind = PortKind::Ethernet;
             o.address = v.fields[0].text;
             o.tcpPort = uint32_t(v.fields[1].number);
         }},
        {{"--printer", "NAME", "the settings \"kalo NAME\" preselects, from the registry file or the CUPS queues",
          Values::Text("a print queue or a model's custom key (Custom_TLR-740II ...)"), nullptr, nullptr, true},
         [](ConnectionOptions& o, const OptionValue& v) { o.printer = v.text; }},
        {{"--target", "URI", "a printer by its connection URI, as fleet targets files name them",
          Values::Text("socket://HOST[:PORT], serial:COMn[?KEY=VALUE+...] with the keys baud, bits, parity, stop "
                       "and flow taking the line settings' values, parallel:LPTn, usb: or usb:SERIAL"),
          nullptr, nullptr, true},
         [](ConnectionOptions& o, const OptionValue& v) { o.target = v.text; }},
    };
    return table;
}

// The line settings given among args, read as TakeOptions reads them (an
// option's value is never taken for an option).
std::vector<std::string> LineSettingsGiven(const std::vector<std::string>& args)
{
    const std::vector<const OptionInfo*> table = Infos(Table());
    std::vector<std::string> given;
    for (size_t i = 0; i < args.size(); ++i) {
        const OptionInfo* option = FindOption(table, args[i]);
        if (!option)
            continue;
        if (!option->alternative)
            given.push_back(option->name);
        const bool valueFollows = option->values.GetKind() != OptionValues::Kind::None && !ReadOptionWord(args[i]).hasValue;
        i += valueFollows ? 1 : 0;
    }
    return given;
}

} // namespace

PortSettings ConnectionOptions::ToPortSettings() const
{
    if (interfaceKind == PortKind::Ethernet)
        return NetworkPortSettings(address, tcpPort);
    if (interfaceKind == PortKind::Parallel)
        return LinePortSettings(parallelPort, baudRate, dataBits, stopBits, parity, flowControl);
    return LinePortSettings(serialPort, baudRate, dataBits, stopBits, parity, flowControl);
}

bool ExtractConnectionOptions(std::vector<std::string>& args, ConnectionOptions& options, std::string& error)
{
    const std::vector<std::string> lineSettings = LineSettingsGiven(args);
    if (!TakeOptions(Table(), args, options, error))
        return false;
    if (options.target.empty())
        return true;
    if (!lineSettings.empty()) {
        error = "--target takes the line settings in its URI, not as " + lineSettings.front();
        return false;
    }
    const std::string uri = options.target;
    if (!ParseTargetUri(uri, options, error)) {
        error = "--target: " + error;
        return false;
    }
    return true;
}

ConnectionOptions DefaultConnectionOptions()
{
    ConnectionOptions options;
    std::vector<std::string> none;
    std::string error;
    TakeOptions(Table(), none, options, error);
    return options;
}

const OptionValues& ConnectionOptionValues(const std::string& name)
{
    for (const auto& option : Table()) {
        if (name == option.name)
            return option.values;
    }
    static const OptionValues none = OptionValues::None();
    return none;
}

std::vector<const OptionInfo*> ConnectionOptionInfos()
{
    return Infos(Table());
}

void PrintConnectionOptions(std::ostream& out)
{
    const auto table = Infos(Table());
    out << "Connection (one of " << Alternatives(table) << "; the line settings go with --serial):\n";
    PrintOptions(out, table);
}

ResolvedConnection ResolveConnection(const ConnectionOptions& options, const CRegistryKey& registry,
                                     platform::Platform& platform, std::ostream& diagnostics)
{
    ResolvedConnection resolved;
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

} // namespace kalo::cli
