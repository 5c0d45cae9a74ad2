#include "FakeSysfs.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kalo::test {

FakeSysfs::FakeSysfs()
{
    static std::atomic<int> counter{0};
    m_top = (fs::temp_directory_path() / ("kalo-sysfs-" + std::to_string(getpid()) + "-" + std::to_string(counter++)))
                .string();
    sysfsRoot = m_top + "/sys";
    devRoot = m_top + "/dev";
    fs::create_directories(sysfsRoot + "/class/usbmisc");
    fs::create_directories(devRoot + "/usb");
}

FakeSysfs::~FakeSysfs()
{
    std::error_code ignored;
    fs::remove_all(m_top, ignored);
}

void FakeSysfs::AddPrinter(int lp, std::optional<std::string> vendor, std::optional<std::string> product,
                           std::optional<std::string> serial, const std::string& usbDevice)
{
    const std::string name = "lp" + std::to_string(lp);
    const std::string relative = "devices/pci0000:00/0000:00:14.0/usb1/" + usbDevice;
    const fs::path device = fs::path(sysfsRoot) / relative;
    const fs::path node = device / (usbDevice + ":1.0") / "usbmisc" / name;
    fs::create_directories(node);
    using Attribute = std::pair<const char*, std::optional<std::string>>;
    for (const auto& [file, value] : {Attribute{"idVendor", vendor}, {"idProduct", product}, {"serial", serial}})
        if (value)
            std::ofstream(device / file) << *value << '\n';
    fs::create_directory_symlink("../..", node / "device");
    fs::create_directory_symlink(fs::path("../..") / relative / (usbDevice + ":1.0") / "usbmisc" / name,
                                 fs::path(sysfsRoot) / "class/usbmisc" / name);
}

void FakeSysfs::AddClassDevice(const std::string& className, const std::string& name, const std::string& usbDevice,
                               const std::vector<std::pair<std::string, std::string>>& attributes)
{
    const std::string parent = usbDevice.empty() ? "devices/platform/serial8250"
                                                 : "devices/pci0000:00/0000:00:14.0/usb1/" + usbDevice;
    const std::string port = usbDevice.empty() ? parent : parent + "/" + usbDevice + ":1.0/" + name;
    const fs::path folder = fs::path(sysfsRoot) / port / className / name;
    fs::create_directories(folder);
    for (const auto& [file, value] : attributes)
        std::ofstream((usbDevice.empty() ? folder : fs::path(sysfsRoot) / parent) / file) << value << '\n';
    fs::create_directory_symlink("../..", folder / "device");
    fs::create_directories(fs::path(sysfsRoot) / "class" / className);
    fs::create_directory_symlink(fs::path("../..") / port / className / name,
                                 fs::path(sysfsRoot) / "class" / className / name);
}

} // namespace kalo::test
