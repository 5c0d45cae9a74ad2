#pragma once

#include "Platform.h"
#include "posix/PosixNameResolver.h"

namespace kalo::platform {

// The real operating system: termios devices, TCP sockets, the monotonic clock.
// Messages go to the sink given (a console sink in kaloctl, message boxes in kalo).
class PosixPlatform final : public Platform {
public:
    // clock: where waits go; the system clock when none is given.
    explicit PosixPlatform(MessageSink& messages, PortMap ports = PortMap(), Clock* clock = nullptr);

    Clock& GetClock() override;
    MessageSink& Messages() override { return m_messages; }
    const PortMap& Ports() override { return m_ports; }
    std::unique_ptr<SerialDevice> NewSerialDevice() override;
    std::unique_ptr<StreamSocket> NewStreamSocket() override;
    std::unique_ptr<UsbPrinterDevice> NewUsbPrinterDevice() override;
    // From KALO_SYSFS_ROOT (default /sys), nodes under KALO_DEV_ROOT (default /dev).
    std::vector<UsbPrinterInfo> ListUsbPrinters() override;
    // udev's monitor, naming nodes under KALO_DEV_ROOT.
    UsbDeviceWatcher& UsbWatcher() override;
    // From the same roots as the USB printers.
    std::vector<DevicePathInfo> ListSerialDevices() override;
    std::vector<DevicePathInfo> ListParallelDevices() override;
    // A terminal is asked with isatty on a descriptor opened without
    // waiting and without becoming the controlling terminal.
    DeviceNode NodeAt(const std::string& path) override;
    // An NT-family word: kernel major and minor in the low bytes, a build
    // number made of them (never 0) in the high 16 bits.
    uint32_t VersionWord() override;
    std::unique_ptr<ParallelDevice> NewParallelDevice() override;
    // getaddrinfo.
    NameResolver& Names() override { return m_names; }
    std::unique_ptr<ChildProcesses> NewChildProcesses() override;

private:
    MessageSink& m_messages;
    PortMap m_ports;
    Clock* m_clock;
    std::unique_ptr<UsbDeviceWatcher> m_usbWatcher;
    PosixNameResolver m_names;
};

} // namespace kalo::platform
