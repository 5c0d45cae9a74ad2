#pragma once

#include "CRegistryKey.h"
#include "platform/Platform.h"
#include "port/PortSettings.h"

#include <ostream>
#include <string>

namespace kalo {

// How a printer is reached, as kaloctl's options or a connection URI name it.
// The members start empty; DefaultConnectionOptions holds the main window's
// initial line settings (9600, 8, None, 1, Hardware).
struct ConnectionOptions {
    PortKind interfaceKind = PortKind::Serial;
    std::string serialPort;
    uint32_t baudRate = 0;
    uint32_t dataBits = 0;
    uint32_t parity = 0;      // position in None, Odd, Even, Mark, Space
    uint32_t stopBits = 0;    // position in 1, 1.5, 2
    uint32_t flowControl = 0; // position in Hardware, Xon/Xoff, None
    std::string parallelPort; // "LPT1" ... "LPT3", or a device path
    std::string address;
    uint32_t tcpPort = 0;
    // With the USB interface: a port-list entry, a device path or a USB
    // serial number; empty for the first printer of the family found.
    std::string usbDevice;
    // A printer whose settings are read from the registry, as "kalo NAME" does.
    std::string printer;
    // The URI given with --target; the fields above are read from it when
    // the options are taken.
    std::string target;

    PortSettings ToPortSettings() const;
    bool operator==(const ConnectionOptions&) const = default;
};

// The line settings the main window starts with, and no port: a port is
// always named, never guessed.
ConnectionOptions DefaultConnectionOptions();

// Why kaloctl refuses the printer --printer names, where the window keeps
// its defaults without a word: "" when the registry file or a CUPS queue
// names a port for it. registryFile is the file read ("" for none), to say
// where kaloctl looked.
std::string UnknownPrinterRefusal(const std::string& printer, const CRegistryKey& registry,
                                  const std::string& registryFile);

// Why a device path cannot be used as the option named it (a serial line
// given to --parallel, say), "" otherwise: the path's kind is the device's,
// and a different one would be opened without a word. A path that is not
// there is the open's to refuse.
std::string PathKindRefusal(const ConnectionOptions& options, platform::Platform& platform);

// The port settings and interface to use: from the options, or for a
// printer named from the registry through the main window's own preselection.
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

} // namespace kalo
