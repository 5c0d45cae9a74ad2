#pragma once

#include "Connection.h"
#include "platform/PortMap.h"

#include <string>

namespace kalo {

// A printer's connection written as one URI, in the manner of CUPS device
// URIs, for --target and the fleet's targets file:
//   socket://HOST[:PORT]    TCP, port 9100 when left out
//   serial:COMn[?SETTINGS]  SETTINGS: baud=, bits=, parity=, stop=, flow=
//                           joined by '+' or '&', each optional
//   serial:/dev/ttyUSB0[?SETTINGS]   a device path, taken literally
//   parallel:LPTn or parallel:/dev/lp1
//   usb: or usb:SERIAL      the first printer of the family, or the one with
//                           that USB serial number (%XX escapes a byte)
// The scheme and a COM or LPT name are read in any case; a path as written.

// Reads a URI into options: the connection options' defaults, then what the
// URI says. False with what is wrong, quoting the part ("'parity=evn' is not
// one of none, odd, even, mark, space"), leaving options as they were.
bool ParseTargetUri(const std::string& text, ConnectionOptions& options, std::string& error);

// The canonical URI of a connection: lower-case scheme, upper-case port name,
// the TCP port and every serial setting written out in the order above. Empty
// for a printer named from the registry (--printer), which has no URI.
std::string FormatTargetUri(const ConnectionOptions& options);

// What two targets on the same device have in common: the host (in any case)
// and TCP port, the device a COM or LPT name maps to, or the USB serial
// number ("usb:" for the first printer found).
std::string DeviceIdentity(const ConnectionOptions& options, const platform::PortMap& ports = platform::PortMap());

} // namespace kalo
