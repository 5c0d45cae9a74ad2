#pragma once

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

    PortSettings ToPortSettings() const;
};

// Takes the connection options out of args (wherever they stand) and leaves
// the rest. False with a reason for a malformed option.
bool ExtractConnectionOptions(std::vector<std::string>& args, ConnectionOptions& options, std::string& error);

extern const char kConnectionHelp[];

} // namespace kalo::cli
