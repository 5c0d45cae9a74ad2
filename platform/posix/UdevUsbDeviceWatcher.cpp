#include "UdevUsbDeviceWatcher.h"

#include <cstring>
#include <libudev.h>

namespace kalo::platform {

UdevUsbDeviceWatcher::UdevUsbDeviceWatcher(std::string devRoot)
    : m_devRoot(std::move(devRoot))
{
    m_udev = udev_new();
    if (!m_udev)
        return;
    // libudev opens its netlink socket non-blocking and close-on-exec.
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (m_monitor
        && (udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "usbmisc", nullptr) < 0
            || udev_monitor_enable_receiving(m_monitor) < 0)) {
        udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
    }
}

UdevUsbDeviceWatcher::~UdevUsbDeviceWatcher()
{
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

int UdevUsbDeviceWatcher::Descriptor()
{
    return m_monitor ? udev_monitor_get_fd(m_monitor) : -1;
}

std::vector<UsbDeviceNotice> UdevUsbDeviceWatcher::TakePending()
{
    std::vector<UsbDeviceNotice> notices;
    if (!m_monitor)
        return notices;
    // The socket is non-blocking: NULL once nothing is left (an interrupted
    // receive leaves its event for the next call).
    while (udev_device* device = udev_monitor_receive_device(m_monitor)) {
        const char* action = udev_device_get_action(device);
        const char* name = udev_device_get_sysname(device);
        // usbmisc carries other nodes too (hiddev, and so on).
        if (action && name && std::strncmp(name, "lp", 2) == 0) {
            const std::string node = m_devRoot + "/usb/" + name;
            if (std::strcmp(action, "add") == 0)
                notices.push_back({UsbNoticeKind::Arrival, node});
            else if (std::strcmp(action, "remove") == 0)
                notices.push_back({UsbNoticeKind::RemoveComplete, node});
        }
        udev_device_unref(device);
    }
    return notices;
}

} // namespace kalo::platform
