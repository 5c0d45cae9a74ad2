#pragma once

#include "app/CRegistryKey.h"
#include "platform/MessageSink.h"
#include "port/PortSettings.h"

#include <string>
#include <vector>

namespace kalo::cli {

// How kaloctl reaches the printer; the defaults are the main window's
// initial choice (COM1, 9600, 8, None, 1, Hardware).
struct ConnectionOptions {
    PortKind interfaceKind = PortKind::Serial;
    std::string serialPort = "COM1";
    uint32_t baudRate = 9600;
    uint32_t dataBits = 8;
    uint32_t parity = 0;      // position in None, Odd, Even, Mark, Space
    uint32_t stopBits = 0;    // position in 1, 1.5, 2
    uint32_t flowControl = 0; // position in Hardware, Xon/Xoff, None
    std::string address;
    uint32_t tcpPort = 9100;
    // A printer whose settings are read from the registry, as "kalo NAME" does.
    std::string printer;

    PortSettings ToPortSettings() const;
};

// Takes the connection options out of args (wherever they stand) and leaves
// the rest. False with a reason for a malformed option.
bool ExtractConnectionOptions(std::vector<std::string>& args, ConnectionOptions& options, std::string& error);

// The port settings and interface to use: from the options, or for
// --printer from the registry through the main window's own preselection.
struct ResolvedConnection {
    PortSettings settings;
    PortKind interfaceKind = PortKind::Serial;
    std::string portName; // what the spooler redirection looks for
};
ResolvedConnection ResolveConnection(const ConnectionOptions& options, const CRegistryKey& registry,
                                     platform::MessageSink& messages);

extern const char kConnectionHelp[];

} // namespace kalo::cli
