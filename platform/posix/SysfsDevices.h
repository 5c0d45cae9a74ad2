#pragma once

#include "../DevicePathInfo.h"

#include <string>
#include <vector>

namespace kalo::platform {

// What the device listings read from sysfs. Paths are never cut: one of
// kMaxSysfsPath characters or more is taken as missing.
constexpr size_t kMaxSysfsPath = 256;

// The one line of a sysfs attribute without its newline; false when it
// cannot be read.
bool ReadSysfsAttribute(const std::string& path, std::string& value);
// The folder a link leads to, with every link resolved; empty when it dangles.
std::string ResolveSysfsPath(const std::string& path);
// Four hexadecimal digits, as idVendor and idProduct hold them.
bool IsHexId(const std::string& text);
// "ttyUSB12" with prefix "ttyUSB" -> 12; -1 unless only digits follow the prefix.
long NumberAfter(const std::string& name, const std::string& prefix);

// The serial devices under sysfsRoot's class/tty, their nodes under devRoot:
// ttyUSB*, then ttyACM*, then the ttyS* whose "type" is not 0 (a UART is
// there), each group by number. A device on USB is described by the USB
// device above it (manufacturer, product, serial, ids).
std::vector<DevicePathInfo> ListSysfsSerialDevices(const std::string& sysfsRoot, const std::string& devRoot);
// The parallel printer ports under class/printer (lpN), by number.
std::vector<DevicePathInfo> ListSysfsParallelDevices(const std::string& sysfsRoot, const std::string& devRoot);

// What is at path, following its links; a character device is opened
// without waiting and without becoming the controlling terminal, asked
// isatty, and closed again. One that may not be opened counts as a terminal,
// so that opening it as a serial line names the reason.
DeviceNode ProbeDeviceNode(const std::string& path);

} // namespace kalo::platform
