#include "CUsbPort.h"

#include "UsbPrinterSearch.h"
#include "platform/Result.h"

#include <algorithm>

namespace kalo {

using namespace platform;

CUsbPort::CUsbPort(Platform& platform)
    : m_platform(platform)
{
}

CUsbPort::~CUsbPort()
{
    Close();
}

int CUsbPort::Configure(const PortSettings& settings)
{
    if (settings.portName.empty())
        return 0;
    m_devicePath = settings.portName;
    return 1;
}

bool CUsbPort::OpenDevice()
{
    if (m_device) {
        m_device->Close();
        m_device.reset();
    }
    // The node the printer was found on, while it still carries the same
    // ids; otherwise the first that does (two printers without a serial
    // number cannot be told apart).
    const std::string foundOn = UsbDeviceNode(m_devicePath);
    const std::string ids = m_devicePath.substr(foundOn.size()); // "?vid_...&pid_...&serial=..."
    std::string node;
    for (const UsbPrinterInfo& listed : m_platform.ListUsbPrinters()) {
        if (UsbDevicePath(listed) != listed.node + ids)
            continue;
        if (node.empty() || listed.node == foundOn)
            node = listed.node;
    }
    if (node.empty())
        node = foundOn;
    auto device = m_platform.NewUsbPrinterDevice();
    if (device->Open(node) != kOk) {
        m_failure = device->LastFailure();
        return false;
    }
    m_device = std::move(device);
    m_node = node;
    return true;
}

int CUsbPort::Open()
{
    if (m_device)
        return m_open ? 1 : 0;
    if (!OpenDevice())
        return 0;
    if (m_firstOpen) {
        m_firstOpen = false;
        m_platform.UsbWatcher().AddListener(this);
        m_listening = true;
    }
    m_open = true;
    m_presence = Presence::Present;
    return 1;
}

void CUsbPort::MarkRemoved()
{
    if (m_device) {
        m_device->Close();
        m_device.reset();
    }
    m_presence = Presence::Removed;
}

bool CUsbPort::ReadyForTransfer()
{
    if (m_presence == Presence::Removed && OpenDevice())
        m_presence = Presence::Present;
    return m_device != nullptr;
}

platform::UsbNoticeAnswer CUsbPort::OnUsbNotice(const UsbDeviceNotice& notice)
{
    if (m_presence == Presence::Removed && OpenDevice())
        m_presence = Presence::Present;
    const bool ours = m_device && notice.node == m_node;
    switch (notice.kind) {
    case UsbNoticeKind::Arrival: break;
    case UsbNoticeKind::QueryRemove: return ours ? UsbNoticeAnswer::Denied : UsbNoticeAnswer::Granted;
    case UsbNoticeKind::RemovePending:
    case UsbNoticeKind::RemoveComplete:
        if (ours) {
            if (m_open) {
                m_device->Close();
                m_device.reset();
            }
            m_presence = Presence::Removed;
        }
        break;
    }
    return UsbNoticeAnswer::Granted;
}

int CUsbPort::Write(const uint8_t* data, uint32_t length)
{
    if (!m_open || !data || length == 0)
        return 0;
    // Outside the lock: a notice may reopen the device.
    m_platform.UsbWatcher().BeforeTransfer();
    std::lock_guard<std::mutex> hold(m_ioLock);
    if (!ReadyForTransfer())
        return 0;
    const int64_t bound = (int64_t(kWriteBoundPerByteMs) * length + kWriteBoundMs) * 1000;
    const long sent = m_device->Write(data, length, bound);
    if (sent < 0) {
        m_failure = m_device->LastFailure();
        if (sent == kErrNoDevice)
            MarkRemoved();
        return 0;
    }
    if (uint32_t(sent) < length)
        m_failure = Failure{"write", UsbDeviceNode(m_devicePath), kErrTimeout, 0,
                            "only " + std::to_string(sent) + " of " + std::to_string(length)
                                + " bytes went out within " + DurationText(bound)};
    return int(sent);
}

int CUsbPort::Read(uint8_t* buffer, uint32_t length)
{
    if (!m_open || !buffer || length == 0)
        return 0;
    m_platform.UsbWatcher().BeforeTransfer();
    std::lock_guard<std::mutex> hold(m_ioLock);
    if (!ReadyForTransfer())
        return 0;
    const long got = m_device->Read(buffer, length, int64_t(kReadBoundMs) * 1000);
    if (got < 0) {
        m_failure = m_device->LastFailure();
        if (got == kErrNoDevice)
            MarkRemoved();
        return 0;
    }
    return int(got);
}

int CUsbPort::ReadWithin(uint8_t* buffer, uint32_t length, int64_t waitMicros)
{
    if (!buffer || length == 0)
        return 0;
    if (!m_open)
        return -1; // closed after a failure: nothing will come
    m_platform.UsbWatcher().BeforeTransfer();
    std::lock_guard<std::mutex> hold(m_ioLock);
    if (!ReadyForTransfer())
        return -1;
    const long got = m_device->Read(buffer, length, std::max<int64_t>(0, waitMicros));
    if (got < 0) {
        m_failure = m_device->LastFailure();
        if (got == kErrNoDevice)
            MarkRemoved();
        return -1;
    }
    return int(got);
}

int64_t CUsbPort::SettleMicros() const
{
    // Ten full-speed frames: the printer's next packet, were one to follow,
    // would have come.
    return 10000;
}

void CUsbPort::Close()
{
    if (m_listening) {
        m_platform.UsbWatcher().RemoveListener(this);
        m_listening = false;
    }
    if (m_device) {
        m_device->Close();
        m_device.reset();
    }
    m_open = false;
}

} // namespace kalo
