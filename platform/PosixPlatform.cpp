#include "PosixPlatform.h"

#include "SystemClock.h"
#include "posix/PosixParallelDevice.h"
#include "posix/PosixSerialDevice.h"
#include "posix/PosixStreamSocket.h"
#include "posix/PosixUsbPrinterDevice.h"
#include "posix/SysfsDevices.h"
#include "posix/UdevUsbDeviceWatcher.h"

#include <cstdio>
#include <cstdlib>
#include <sys/utsname.h>

namespace kalo::platform {

PosixPlatform::PosixPlatform(MessageSink& messages, PortMap ports, Clock* clock)
    : m_messages(messages)
    , m_ports(std::move(ports))
    , m_clock(clock)
{
}

Clock& PosixPlatform::GetClock()
{
    return m_clock ? *m_clock : SystemClock::Instance();
}

std::unique_ptr<SerialDevice> PosixPlatform::NewSerialDevice()
{
    return std::make_unique<PosixSerialDevice>();
}

std::unique_ptr<StreamSocket> PosixPlatform::NewStreamSocket()
{
    return std::make_unique<PosixStreamSocket>();
}

std::unique_ptr<UsbPrinterDevice> PosixPlatform::NewUsbPrinterDevice()
{
    return std::make_unique<PosixUsbPrinterDevice>();
}

namespace {

std::string Setting(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return std::string(value && *value ? value : fallback);
}

} // namespace

std::vector<UsbPrinterInfo> PosixPlatform::ListUsbPrinters()
{
    return ListSysfsUsbPrinters(Setting("KALO_SYSFS_ROOT", "/sys"), Setting("KALO_DEV_ROOT", "/dev"));
}

std::vector<DevicePathInfo> PosixPlatform::ListSerialDevices()
{
    return ListSysfsSerialDevices(Setting("KALO_SYSFS_ROOT", "/sys"), Setting("KALO_DEV_ROOT", "/dev"));
}

std::vector<DevicePathInfo> PosixPlatform::ListParallelDevices()
{
    return ListSysfsParallelDevices(Setting("KALO_SYSFS_ROOT", "/sys"), Setting("KALO_DEV_ROOT", "/dev"));
}

DeviceNode PosixPlatform::NodeAt(const std::string& path)
{
    return ProbeDeviceNode(path);
}

UsbDeviceWatcher& PosixPlatform::UsbWatcher()
{
    if (!m_usbWatcher)
        m_usbWatcher = std::make_unique<UdevUsbDeviceWatcher>(Setting("KALO_DEV_ROOT", "/dev"));
    return *m_usbWatcher;
}

uint32_t PosixPlatform::VersionWord()
{
    utsname name{};
    unsigned major = 0;
    unsigned minor = 0;
    if (uname(&name) == 0)
        std::sscanf(name.release, "%u.%u", &major, &minor);
    const uint32_t build = (major * 100 + minor) % 0x7FFF + 1;
    return (build << 16) | ((minor & 0xFF) << 8) | (major & 0xFF);
}

std::unique_ptr<ParallelDevice> PosixPlatform::NewParallelDevice()
{
    return std::make_unique<PosixParallelDevice>(GetClock());
}

std::unique_ptr<ChildProcesses> PosixPlatform::NewChildProcesses()
{
    return platform::NewChildProcesses();
}

} // namespace kalo::platform
