#include "ConnectionOptions.h"

#include "cli/options/Option.h"
#include "connect/ConnectionForm.h"
#include "connect/LineSettings.h"
#include "connect/TargetUri.h"

#include <algorithm>

namespace kalo::cli {

namespace {

using Values = OptionValues;

const OptionTable<ConnectionOptions>& Table()
{
    static const OptionTable<ConnectionOptions> table = {
        {{"--serial", "PORT",
          "a serial port (kaloctl list-serial lists the devices present); KALO_PORT_<NAME> sets the device "
          "behind a COM name",
          Values::NamesOrPath(ConnectionForm::kSerialPorts), nullptr, nullptr, true},
         [](ConnectionOptions& o, const OptionValue& v) { o.serialPort = v.text; }},
        {{"--parallel", "PORT",
          "a printer on a parallel port: LPTn is /dev/lp(n-1) unless KALO_PORT_LPTn names another",
          Values::NamesOrPath(ConnectionForm::kParallelPorts), nullptr, nullptr, true},
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
        {{"--usb-device", "ENTRY|SERIAL|PATH", "a printer on USB",
          Values::Text("an entry as kaloctl list-usb prints it, the printer's USB serial number, or its device "
                       "path (/dev/usb/lp0)"),
          nullptr, nullptr, true},
         [](ConnectionOptions& o, const OptionValue& v) {
             o.interfaceKind = PortKind::Usb;
             o.usbDevice = v.text;
         }},
        {{"--baud", "RATE", "line speed", Values::NumbersOf(BaudRateValues().spellings), kDefaultBaudRate},
         [](ConnectionOptions& o, const OptionValue& v) { o.baudRate = uint32_t(v.number); }},
        {{"--data-bits", "BITS", "data bits", Values::NumbersOf(DataBitsValues().spellings), kDefaultDataBits},
         [](ConnectionOptions& o, const OptionValue& v) { o.dataBits = uint32_t(v.number); }},
        {{"--parity", "PARITY", "parity", Values::Names(ParityValues().spellings), kDefaultParity},
         [](ConnectionOptions& o, const OptionValue& v) { o.parity = uint32_t(v.number); }},
        {{"--stop-bits", "BITS", "stop bits; 1.5 is sent as 2 on Linux", Values::Names(StopBitsValues().spellings), kDefaultStopBits},
         [](ConnectionOptions& o, const OptionValue& v) { o.stopBits = uint32_t(v.number); }},
        {{"--flow", "FLOW", "flow control", Values::Names(FlowValues().spellings), kDefaultFlow},
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
                       "and flow taking the line settings' values, parallel:LPTn, usb: or usb:SERIAL; a device "
                       "path may stand for COMn or LPTn (serial:/dev/ttyUSB0?baud=19200)"),
          nullptr, nullptr, true},
         [](ConnectionOptions& o, const OptionValue& v) { o.target = v.text; }},
    };
    return table;
}

// The options given among args, read as TakeOptions reads them (an
// option's value is never taken for an option).
std::vector<const OptionInfo*> OptionsGiven(const std::vector<std::string>& args)
{
    const std::vector<const OptionInfo*> table = Infos(Table());
    std::vector<const OptionInfo*> given;
    for (size_t i = 0; i < args.size(); ++i) {
        const OptionInfo* option = FindOption(table, args[i]);
        if (!option)
            continue;
        given.push_back(option);
        const bool valueFollows = option->values.GetKind() != OptionValues::Kind::None && !ReadOptionWord(args[i]).hasValue;
        i += valueFollows ? 1 : 0;
    }
    return given;
}

} // namespace

bool ExtractConnectionOptions(std::vector<std::string>& args, ConnectionOptions& options, std::string& error,
                              bool* named)
{
    const std::vector<const OptionInfo*> given = OptionsGiven(args);
    const auto lineSetting = std::find_if(given.begin(), given.end(), [](auto* o) { return !o->alternative; });
    if (named)
        *named = std::any_of(given.begin(), given.end(), [](auto* o) { return o->alternative; });
    if (!TakeOptions(Table(), args, options, error))
        return false;
    if (options.target.empty())
        return true;
    if (lineSetting != given.end()) {
        error = std::string("--target takes the line settings in its URI, not as ") + (*lineSetting)->name;
        return false;
    }
    const std::string uri = options.target;
    if (!ParseTargetUri(uri, options, error)) {
        error = "--target: " + error;
        return false;
    }
    return true;
}

std::vector<const OptionInfo*> ConnectionOptionInfos()
{
    return Infos(Table());
}

void PrintConnectionOptions(std::ostream& out)
{
    const auto table = Infos(Table());
    out << "Connection (one of them; the line settings go with --serial):\n";
    PrintOptions(out, table);
}

} // namespace kalo::cli
