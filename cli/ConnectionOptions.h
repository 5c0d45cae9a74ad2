#pragma once

#include "cli/options/Option.h"
#include "app/CRegistryKey.h"
#include "platform/Platform.h"
#include "port/PortSettings.h"

#include <ostream>
#include <string>
#include <vector>

namespace kalo::cli {

// How kaloctl reaches the printer. The defaults, the main window's initial
// choice (COM1, 9600, 8, None, 1, Hardware), are the option table's and are
// set when the options are taken.
struct ConnectionOptions {
    PortKind interfaceKind = PortKind::Serial;
    std::string serialPort;
    uint32_t baudRate = 0;
    uint32_t dataBits = 0;
    uint32_t parity = 0;      // position in None, Odd, Even, Mark, Space
    uint32_t stopBits = 0;    // position in 1, 1.5, 2
    uint32_t flowControl = 0; // position in Hardware, Xon/Xoff, None
    std::string parallelPort; // "LPT1" ... "LPT3"
    std::string address;
    uint32_t tcpPort = 0;
    // With the USB interface: a port-list entry or a USB serial number;
    // empty for the first printer of the family found.
    std::string usbDevice;
    // A printer whose settings are read from the registry, as "kalo NAME" does.
    std::string printer;
    // The URI given with --target; the fields above are read from it when
    // the options are taken.
    std::string target;

    PortSettings ToPortSettings() const;
    bool operator==(const ConnectionOptions&) const = default;
};

// Reads the connection options args holds, in order; args holds nothing
// else. False with the message for an option refused.
bool ExtractConnectionOptions(std::vector<std::string>& args, ConnectionOptions& options, std::string& error);

// The options' defaults, as taken when none is given.
ConnectionOptions DefaultConnectionOptions();

// The values a connection option ("--parity") takes, for readers of the same
// settings in another form (the connection URIs).
const OptionValues& ConnectionOptionValues(const std::string& name);

// The connection options as --help shows them.
void PrintConnectionOptions(std::ostream& out);
// The connection options' table, for completion.
std::vector<const OptionInfo*> ConnectionOptionInfos();

// The port settings and interface to use: from the options, or for
// --printer from the registry through the main window's own preselection.
struct ResolvedConnection {
    PortSettings settings;
    PortKind interfaceKind = PortKind::Serial;
    std::string portName; // what the spooler redirection looks for
    // Why no port could be chosen (no such printer on USB); empty otherwise.
    std::string refusal;
};
// A USB printer is looked for as the main window's port list finds it, the
// list's lines going to diagnostics.
ResolvedConnection ResolveConnection(const ConnectionOptions& options, const CRegistryKey& registry,
                                     platform::Platform& platform, std::ostream& diagnostics);

} // namespace kalo::cli
