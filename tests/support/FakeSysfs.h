#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kalo::test {

// A sysfs tree and a device folder in a fresh temp folder, laid out as the
// kernel lays out usblp devices: class/usbmisc/lpN links to
// devices/.../<usb device>/<interface>/usbmisc/lpN, whose "device" link is
// the interface; the USB device folder holds idVendor, idProduct, serial.
// Removed with everything in it when the object goes.
class FakeSysfs {
public:
    FakeSysfs();
    ~FakeSysfs();
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    // Adds lpN; an attribute without a value is left out. usbDevice names
    // the USB device's folder (deeper names make longer paths).
    void AddPrinter(int lp, std::optional<std::string> vendor, std::optional<std::string> product,
                    std::optional<std::string> serial, const std::string& usbDevice = "1-1");
    // class/<className>/<name> (tty/ttyUSB0, printer/lp1) as a device on
    // USB below usbDevice, whose folder holds the attributes given
    // (idVendor, manufacturer, ...), or a built-in one when usbDevice is
    // empty, the attributes (type) then in its own folder.
    void AddClassDevice(const std::string& className, const std::string& name, const std::string& usbDevice,
                        const std::vector<std::pair<std::string, std::string>>& attributes);

    std::string sysfsRoot;
    std::string devRoot;

private:
    std::string m_top;
};

} // namespace kalo::test
