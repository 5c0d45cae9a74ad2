#pragma once

namespace kalo::test {

// A registry file as the printers' installer leaves it: receipt printers on
// COM3, on COM10 (no entry of the port list begins with "COM10") and on USB,
// the line settings of the COM ports, and the network printer's own key.
inline constexpr char kRegistryText[] = R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Printers\Receipt COM3]
"Port"="COM3:"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Printers\Receipt COM10]
"Port"="COM10:"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Printers\Receipt USB]
"Port"="USB001"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports]
"COM3:"="19200,n,8,1"
"COM10:"="9600,e,7,1.5,x"

[HKEY_LOCAL_MACHINE\SOFTWARE\KEMTRAN\TLR-740II\OXM\Custom]
"Port"="NET"
"TcpIp"="10.0.0.50"
"TcpPort"=dword:0000238c
)";

} // namespace kalo::test
