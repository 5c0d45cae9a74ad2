#pragma once

#include "../UsbDeviceWatcher.h"

struct udev;
struct udev_monitor;

namespace kalo::platform {

// udev's monitor on the printer-class subsystem (usbmisc): an add event is
// an arrival, a remove event a completed removal; udev has no query. Nodes
// are named under devRoot as the listing names them (usb/lpN). Where the
// monitor cannot be set up (no netlink in a container), there are no
// notices and Descriptor() is -1.
class UdevUsbDeviceWatcher final : public UsbDeviceWatcher {
public:
    explicit UdevUsbDeviceWatcher(std::string devRoot);
    ~UdevUsbDeviceWatcher() override;
    UdevUsbDeviceWatcher(const UdevUsbDeviceWatcher&) = delete;
    UdevUsbDeviceWatcher& operator=(const UdevUsbDeviceWatcher&) = delete;

    int Descriptor() override;

protected:
    std::vector<UsbDeviceNotice> TakePending() override;

private:
    std::string m_devRoot;
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
};

} // namespace kalo::platform
