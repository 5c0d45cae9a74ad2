#include "ConnectionOptions.h"

#include "Option.h"
#include "app/ConnectionForm.h"

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
    };
    return table;
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
    return TakeOptions(Table(), args, OtherArguments::Leave, options, error);
}

void PrintConnectionOptions(std::ostream& out)
{
    const auto table = Infos(Table());
    out << "Connection (one of " << Alternatives(table) << "; the line settings go with --serial):\n";
    PrintOptions(out, table);
}

ResolvedConnection ResolveConnection(const ConnectionOptions& options, const CRegistryKey& registry,
                                     platform::MessageSink& messages)
{
    ResolvedConnection resolved;
    if (options.printer.empty()) {
        resolved.settings = options.ToPortSettings();
        resolved.interfaceKind = options.interfaceKind;
        resolved.portName = resolved.settings.portName;
        return resolved;
    }
    ConnectionForm form;
    form.targetPrinter = options.printer;
    form.messages = &messages;
    form.UpdateData(false);
    form.InitDialog(registry);
    resolved.settings = form.BuildPortSettings();
    resolved.interfaceKind = form.interfaceKind;
    resolved.portName = form.portName;
    return resolved;
}

} // namespace kalo::cli
