#pragma once

#include <optional>
#include <string>

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
    // <devRoot>/usb/lpN as a link to target (a pty, a plain file, ...).
    void LinkNode(int lp, const std::string& target);

    std::string sysfsRoot;
    std::string devRoot;

private:
    std::string m_top;
};

} // namespace kalo::test
