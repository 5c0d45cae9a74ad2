#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalo::platform {

// What the system says about a USB printer-class device. The Linux system
// only ever reports arrivals and completed removals; the others can still be
// fed, and are answered as the other platform expects.
enum class UsbNoticeKind { Arrival, QueryRemove, RemovePending, RemoveComplete };

// The answer to a notice: a query to remove the device can be denied.
enum class UsbNoticeAnswer : uint32_t { Granted = 1, Denied = 0x424D5144 };

struct UsbDeviceNotice {
    UsbNoticeKind kind = UsbNoticeKind::Arrival;
    std::string node; // "/dev/usb/lp0", under the device folder the listing uses
};

class UsbNoticeListener {
public:
    virtual UsbNoticeAnswer OnUsbNotice(const UsbDeviceNotice& notice) = 0;

protected:
    ~UsbNoticeListener() = default;
};

// Collects the system's device-change notices for printer-class devices and
// hands them to the listeners, on the caller's thread, whenever the caller
// asks: a window does so when Descriptor() turns readable, a program without
// an event loop before each transfer. Listeners come and go in any order,
// also from within a notice.
class UsbDeviceWatcher {
public:
    virtual ~UsbDeviceWatcher() = default;

    // Readable while notices wait; -1 when the system gives no notices.
    virtual int Descriptor() = 0;

    void AddListener(UsbNoticeListener* listener);
    void RemoveListener(UsbNoticeListener* listener);
    // Hands every waiting notice to the listeners, oldest first.
    void DeliverPending();
    // Hands one notice to every listener: Denied when any of them denies it.
    UsbNoticeAnswer Deliver(const UsbDeviceNotice& notice);

    // An event loop that watches Descriptor() says so; without one, the
    // notices are handed out before each transfer instead.
    void SetDeliveredByEventLoop(bool byEventLoop) { m_byEventLoop = byEventLoop; }
    void BeforeTransfer()
    {
        if (!m_byEventLoop)
            DeliverPending();
    }

protected:
    // The notices waiting now, without blocking.
    virtual std::vector<UsbDeviceNotice> TakePending() = 0;

private:
    std::vector<UsbNoticeListener*> m_listeners;
    bool m_delivering = false;
    bool m_byEventLoop = false;
};

// A watcher for a system without notices, and for tests: notices are only
// those fed to it.
class FedUsbDeviceWatcher final : public UsbDeviceWatcher {
public:
    int Descriptor() override { return -1; }
    void Feed(UsbDeviceNotice notice) { m_pending.push_back(std::move(notice)); }

protected:
    std::vector<UsbDeviceNotice> TakePending() override;

private:
    std::vector<UsbDeviceNotice> m_pending;
};

} // namespace kalo::platform
