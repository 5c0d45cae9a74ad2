#pragma once

#include "Failure.h"
#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kalo::platform {

// One USB printer-class device node. Owned by the USB port that opened it.
// The driver itself sets no time-out, so every transfer here is bounded by
// the caller's wait; waits are relative, in microseconds, so an in-process
// device can let a virtual clock run instead of blocking.
class UsbPrinterDevice {
public:
    virtual ~UsbPrinterDevice() = default;

    // Opens the node for reading and writing. Anything that is not a
    // character device (a plain file, a folder) is refused.
    virtual Result Open(const std::string& path) = 0;
    // Waits up to timeoutMicros for the printer to send: the count read, 0
    // when nothing came in time or the driver passed on a zero-length
    // packet, or an error Result (kErrNoDevice once the printer is unplugged).
    virtual long Read(uint8_t* buffer, size_t length, int64_t timeoutMicros) = 0;
    // Sends within timeoutMicros: the count that went out, or an error Result
    // when nothing did.
    virtual long Write(const uint8_t* data, size_t length, int64_t timeoutMicros) = 0;
    virtual void Close() = 0;
    // The last call that failed, kept until another fails. A wait that only
    // ran out of time is not a failure of the device.
    virtual const Failure& LastFailure() const = 0;
};

// A printer-class device the system lists: its node and what its USB
// device reports, copied as the system gives it.
struct UsbPrinterInfo {
    std::string node;      // "/dev/usb/lp0"
    std::string vendorId;  // "7a3c"
    std::string productId; // "001e"
    std::string serial;    // empty when the device has none

    bool operator==(const UsbPrinterInfo&) const = default;
};

// True on the Windows 95/98/Me family, from the system's version word: the
// NT family (top bit clear) has its build number in the high 16 bits; the
// others have one only when their major version is below 4.
bool IsWin9xFamily(uint32_t versionWord);

} // namespace kalo::platform
