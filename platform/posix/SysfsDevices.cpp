#include "SysfsDevices.h"

#include "RetryEintr.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <tuple>

namespace kalo::platform {

bool ReadSysfsAttribute(const std::string& path, std::string& value)
{
    if (path.size() >= kMaxSysfsPath)
        return false;
    std::ifstream in(path);
    if (!in)
        return false;
    std::getline(in, value);
    return !in.bad();
}

std::string ResolveSysfsPath(const std::string& path)
{
    if (path.size() >= kMaxSysfsPath)
        return std::string();
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved))
        return std::string();
    const std::string result = resolved;
    return result.size() < kMaxSysfsPath ? result : std::string();
}

bool IsHexId(const std::string& text)
{
    return text.size() == 4 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
           });
}

long NumberAfter(const std::string& name, const std::string& prefix)
{
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
        return -1;
    long n = 0;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

namespace {

// Fills in the USB device above a class device: the first folder with an
// idVendor within three steps up from its "device" link (an adapter's port,
// its interface, the device itself).
void DescribeUsbParent(const std::string& classDevice, DevicePathInfo& info)
{
    std::string folder = ResolveSysfsPath(classDevice + "/device");
    for (int up = 0; up < 3 && !folder.empty(); ++up, folder = ResolveSysfsPath(folder + "/..")) {
        std::string vendor, product;
        if (!ReadSysfsAttribute(folder + "/idVendor", vendor) || !IsHexId(vendor)
            || !ReadSysfsAttribute(folder + "/idProduct", product) || !IsHexId(product))
            continue;
        info.vendorId = vendor;
        info.productId = product;
        ReadSysfsAttribute(folder + "/serial", info.serial);
        std::string maker, name;
        ReadSysfsAttribute(folder + "/manufacturer", maker);
        ReadSysfsAttribute(folder + "/product", name);
        info.description = maker.empty() || name.empty() ? maker + name : maker + " " + name;
        if (!info.serial.empty())
            info.description += (info.description.empty() ? "serial " : ", serial ") + info.serial;
        return;
    }
}

using Listed = std::tuple<size_t, long, DevicePathInfo>;

std::vector<DevicePathInfo> ListClass(const std::string& sysfsRoot, const std::string& devRoot, const char* className,
                                      const std::vector<std::string>& prefixes, const std::string& uartPrefix)
{
    const std::string classDir = sysfsRoot + "/class/" + className;
    DIR* dir = opendir(classDir.c_str());
    if (!dir)
        return {};
    std::vector<Listed> found;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        for (size_t group = 0; group < prefixes.size(); ++group) {
            const long number = NumberAfter(name, prefixes[group]);
            if (number < 0)
                continue;
            // A built-in port's node exists whether or not a UART answers there.
            std::string type;
            if (prefixes[group] == uartPrefix
                && (!ReadSysfsAttribute(classDir + "/" + name + "/type", type) || type.empty() || type == "0"))
                break;
            DevicePathInfo info;
            info.path = devRoot + "/" + name;
            DescribeUsbParent(classDir + "/" + name, info);
            found.emplace_back(group, number, std::move(info));
            break;
        }
    }
    closedir(dir);
    std::sort(found.begin(), found.end(), [](const Listed& a, const Listed& b) {
        return std::tie(std::get<0>(a), std::get<1>(a)) < std::tie(std::get<0>(b), std::get<1>(b));
    });
    std::vector<DevicePathInfo> devices;
    for (auto& listed : found)
        devices.push_back(std::move(std::get<2>(listed)));
    return devices;
}

} // namespace

std::vector<DevicePathInfo> ListSysfsSerialDevices(const std::string& sysfsRoot, const std::string& devRoot)
{
    return ListClass(sysfsRoot, devRoot, "tty", {"ttyUSB", "ttyACM", "ttyS"}, "ttyS");
}

std::vector<DevicePathInfo> ListSysfsParallelDevices(const std::string& sysfsRoot, const std::string& devRoot)
{
    return ListClass(sysfsRoot, devRoot, "printer", {"lp"}, "");
}

DeviceNode ProbeDeviceNode(const std::string& path)
{
    DeviceNode node;
    node.target = path;
    if (path.empty() || path.size() >= PATH_MAX)
        return node;
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved))
        node.target = resolved;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return node;
    node.present = true;
    if (!S_ISCHR(st.st_mode))
        return node;
    const int fd = RetryEintr([&] { return ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0) {
        // A device the user may not open (or another holds) cannot be asked;
        // it is taken as a line, whose own open then says why it fails.
        node.terminal = errno == EACCES || errno == EPERM || errno == EBUSY;
        return node;
    }
    node.terminal = isatty(fd) == 1;
    ::close(fd);
    return node;
}

} // namespace kalo::platform
