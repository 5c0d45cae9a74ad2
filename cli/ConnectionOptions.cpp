#include "ConnectionOptions.h"

#include "app/ConnectionForm.h"

#include <cerrno>
#include <cstdlib>

namespace kalo::cli {

const char kConnectionHelp[] = R"(Connection (one of):
  --serial PORT          COM1..COM9, \\.\COM10..\\.\COM14 (default COM1); the
                         device behind each is set with KALO_PORT_<NAME>
    --baud RATE          default 9600
    --data-bits 7|8      default 8
    --parity none|odd|even|mark|space      default none
    --stop-bits 1|1.5|2  default 1 (1.5 is sent as 2 on Linux)
    --flow hardware|xonxoff|none           default hardware
  --tcp ADDRESS[:PORT]   a printer on the network; port 9100 when left out
  --printer NAME         the settings of a print queue or of a model's custom
                         key (Custom_TLR-740II ...), from the registry file or
                         the CUPS queues, exactly as "kalo NAME" chooses them
)";

namespace {

bool ParseUnsigned(const std::string& text, uint32_t& value)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long n = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || *end != '\0' || errno != 0 || n > 0xFFFFFFFFul)
        return false;
    value = uint32_t(n);
    return true;
}

bool Position(const std::string& text, std::initializer_list<const char*> names, uint32_t& position)
{
    uint32_t i = 0;
    for (const char* name : names) {
        if (text == name) {
            position = i;
            return true;
        }
        ++i;
    }
    return false;
}

} // namespace

PortSettings ConnectionOptions::ToPortSettings() const
{
    if (interfaceKind == PortKind::Ethernet)
        return NetworkPortSettings(address, tcpPort);
    return LinePortSettings(serialPort, baudRate, dataBits, stopBits, parity, flowControl);
}

bool ExtractConnectionOptions(std::vector<std::string>& args, ConnectionOptions& options, std::string& error)
{
    std::vector<std::string> rest;
    bool serialGiven = false;
    bool tcpGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool known = arg == "--serial" || arg == "--baud" || arg == "--data-bits" || arg == "--parity"
            || arg == "--stop-bits" || arg == "--flow" || arg == "--tcp" || arg == "--printer";
        if (!known) {
            rest.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        bool ok = true;
        if (arg == "--serial") {
            ok = !value.empty();
            options.serialPort = value;
            serialGiven = true;
        } else if (arg == "--baud") {
            ok = ParseUnsigned(value, options.baudRate) && options.baudRate > 0;
        } else if (arg == "--data-bits") {
            ok = ParseUnsigned(value, options.dataBits) && (options.dataBits == 7 || options.dataBits == 8);
        } else if (arg == "--parity") {
            ok = Position(value, {"none", "odd", "even", "mark", "space"}, options.parity);
        } else if (arg == "--stop-bits") {
            ok = Position(value, {"1", "1.5", "2"}, options.stopBits);
        } else if (arg == "--flow") {
            ok = Position(value, {"hardware", "xonxoff", "none"}, options.flowControl);
        } else if (arg == "--printer") {
            ok = !value.empty();
            options.printer = value;
        } else {
            tcpGiven = true;
            const size_t colon = value.rfind(':');
            options.address = value.substr(0, colon);
            options.tcpPort = 9100;
            if (colon != std::string::npos)
                ok = ParseUnsigned(value.substr(colon + 1), options.tcpPort);
            ok = ok && !options.address.empty();
        }
        if (!ok) {
            error = "bad value for " + arg + ": '" + value + "'";
            return false;
        }
    }
    if (int(serialGiven) + int(tcpGiven) + int(!options.printer.empty()) > 1) {
        error = "give one of --serial, --tcp and --printer";
        return false;
    }
    options.interfaceKind = tcpGiven ? PortKind::Ethernet : PortKind::Serial;
    args = std::move(rest);
    return true;
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
    resolved.interfaceKind = PortKind(form.interfaceKind);
    resolved.portName = form.portName;
    return resolved;
}

} // namespace kalo::cli
