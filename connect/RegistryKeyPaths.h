#pragma once

namespace kalo {

// The keys below the local-machine root that preselection reads, as the
// other platform spells them (lookups ignore case).
// A print queue's key; the queue's name follows. Value "Port".
inline constexpr char kPrintersKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
// Serial line settings, one value per port text ("COM1:").
inline constexpr char kPortsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
// A network queue's port key; the port text ("IP_10.0.0.7") follows. Value "PortNumber".
inline constexpr char kTcpPortsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports\\";

} // namespace kalo
