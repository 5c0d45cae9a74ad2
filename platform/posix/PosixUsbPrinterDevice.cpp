#include "PosixUsbPrinterDevice.h"

#include "../Deadline.h"
#include "../SystemClock.h"
#include "PollWait.h"
#include "RetryEintr.h"
#include "SystemFailure.h"
#include "SysfsDevices.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fstream>

namespace kalo::platform {

namespace {

const char kUnpluggedReason[] = "the printer was unplugged";
// What the program can hold as a device path: longer ones are never cut.
constexpr size_t kMaxPath = kMaxSysfsPath;

} // namespace

PosixUsbPrinterDevice::~PosixUsbPrinterDevice()
{
    Close();
}

Result PosixUsbPrinterDevice::Fail(const char* call, int errnoValue)
{
    m_failure = SystemFailure(call, m_path, errnoValue);
    return m_failure.result;
}

Result PosixUsbPrinterDevice::Unplugged(const char* call)
{
    m_failure = Failure{call, m_path, kErrNoDevice, ENODEV, kUnpluggedReason};
    return kErrNoDevice;
}

Result PosixUsbPrinterDevice::Open(const std::string& path)
{
    if (m_fd >= 0)
        return kErrArgument;
    m_path = path;
    if (path.empty() || path.size() >= kMaxPath)
        return Fail("open", ENOENT);
    const int fd = RetryEintr([&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0)
        return Fail("open", errno);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        ::close(fd);
        m_failure = Failure{"open", path, kErrNotSupported, ENODEV, "not a printer device"};
        return kErrNotSupported;
    }
    m_fd = fd;
    m_failure = {}; // an earlier refused open is not this device's failure
    return kOk;
}

long PosixUsbPrinterDevice::Read(uint8_t* buffer, size_t length, int64_t timeoutMicros)
{
    if (m_fd < 0)
        return kErrArgument;
    const Result waited = PollWait(m_fd, POLLIN, timeoutMicros);
    if (waited == kErrTimeout)
        return 0;
    if (waited == kErrClosed)
        return Unplugged("read");
    if (waited != kOk)
        return Fail("read", errno);
    const ssize_t n = RetryEintr([&] { return ::read(m_fd, buffer, length); });
    if (n > 0)
        return long(n);
    // Nothing read is a zero-length packet, unless the device has hung up.
    if (n == 0)
        return PollWait(m_fd, 0, 0) == kErrClosed ? long(Unplugged("read")) : 0;
    if (errno == EAGAIN)
        return 0;
    return errno == ENODEV || errno == EIO ? Unplugged("read") : Fail("read", errno);
}

long PosixUsbPrinterDevice::Write(const uint8_t* data, size_t length, int64_t timeoutMicros)
{
    if (m_fd < 0)
        return kErrArgument;
    // The driver takes one transfer at a time: POLLOUT says the last one is done.
    const Deadline deadline(SystemClock::Instance(), timeoutMicros);
    size_t sent = 0;
    Result failed = kOk;
    for (int64_t left = deadline.Remaining(); sent < length && left > 0; left = deadline.Remaining()) {
        const Result waited = PollWait(m_fd, POLLOUT, left);
        if (waited == kErrTimeout)
            break;
        if (waited != kOk) {
            failed = waited == kErrClosed ? Unplugged("write") : Fail("write", errno);
            break;
        }
        const ssize_t n = RetryEintr([&] { return ::write(m_fd, data + sent, length - sent); });
        if (n < 0 && errno != EAGAIN) {
            failed = errno == ENODEV || errno == EIO ? Unplugged("write") : Fail("write", errno);
            break;
        }
        if (n > 0)
            sent += size_t(n);
    }
    return sent > 0 || failed == kOk ? long(sent) : long(failed);
}

void PosixUsbPrinterDevice::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

std::vector<UsbPrinterInfo> ListSysfsUsbPrinters(const std::string& sysfsRoot, const std::string& devRoot)
{
    std::vector<std::pair<long, UsbPrinterInfo>> found;
    const std::string classDir = sysfsRoot + "/class/usbmisc";
    DIR* dir = opendir(classDir.c_str());
    if (!dir)
        return {};
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        const long number = NumberAfter(name, "lp");
        if (number < 0)
            continue;
        // lpN/device is the printer interface; its parent is the USB device.
        const std::string usbDevice = ResolveSysfsPath(classDir + "/" + name + "/device/..");
        if (usbDevice.empty())
            continue;
        UsbPrinterInfo info;
        info.node = devRoot + "/usb/" + name;
        if (!ReadSysfsAttribute(usbDevice + "/idVendor", info.vendorId) || !IsHexId(info.vendorId))
            continue;
        if (!ReadSysfsAttribute(usbDevice + "/idProduct", info.productId) || !IsHexId(info.productId))
            continue;
        std::string serial;
        if (ReadSysfsAttribute(usbDevice + "/serial", serial))
            info.serial = serial;
        found.emplace_back(number, std::move(info));
    }
    closedir(dir);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<UsbPrinterInfo> printers;
    for (auto& [number, info] : found)
        printers.push_back(std::move(info));
    return printers;
}

} // namespace kalo::platform
