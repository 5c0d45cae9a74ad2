#pragma once

#include "../UsbPrinterDevice.h"

#include <vector>

namespace kalo::platform {

// A usblp node (/dev/usb/lpN). Any character device is taken, so a test can
// put a pseudo-terminal where the printer would be; nothing here is
// specific to terminals. The descriptor is non-blocking and every wait is a
// poll, since the driver itself waits for ever.
class PosixUsbPrinterDevice final : public UsbPrinterDevice {
public:
    PosixUsbPrinterDevice() = default;
    ~PosixUsbPrinterDevice() override;
    PosixUsbPrinterDevice(const PosixUsbPrinterDevice&) = delete;
    PosixUsbPrinterDevice& operator=(const PosixUsbPrinterDevice&) = delete;

    Result Open(const std::string& path) override;
    long Read(uint8_t* buffer, size_t length, int64_t timeoutMicros) override;
    long Write(const uint8_t* data, size_t length, int64_t timeoutMicros) override;
    void Close() override;
    const Failure& LastFailure() const override { return m_failure; }

private:
    Result Fail(const char* call, int errnoValue);
    Result Unplugged(const char* call);

    int m_fd = -1;
    std::string m_path;
    Failure m_failure;
};

// The printer-class devices under sysfsRoot (class/usbmisc/lpN), sorted by
// lp number, their nodes under devRoot (usb/lpN). Entries that are odd,
// missing, unreadable or dangling are left out.
std::vector<UsbPrinterInfo> ListSysfsUsbPrinters(const std::string& sysfsRoot, const std::string& devRoot);

} // namespace kalo::platform
