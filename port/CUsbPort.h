#pragma once

#include "PortSettings.h"
#include "platform/Failure.h"
#include "platform/Platform.h"

#include <cstdint>
#include <memory>
#include <mutex>

namespace kalo {

// A printer on USB, reached through its printer-class node. Owns its device
// from Open to Close. The driver sets no time-outs; the port bounds every
// transfer so a printer that never answers cannot hang the program.
class CUsbPort final : public platform::UsbNoticeListener {
public:
    enum class Presence : int32_t { NeverOpened = 0, Present = 1, Removed = -1 };

    static constexpr uint32_t kReadBoundMs = 3000;
    static constexpr uint32_t kWriteBoundMs = 3000;
    static constexpr uint32_t kWriteBoundPerByteMs = 5;

    explicit CUsbPort(platform::Platform& platform);
    ~CUsbPort();
    CUsbPort(const CUsbPort&) = delete;
    CUsbPort& operator=(const CUsbPort&) = delete;

    int Configure(const PortSettings& settings);
    int Open();
    int Write(const uint8_t* data, uint32_t length);
    int Read(uint8_t* buffer, uint32_t length);
    // What arrives within waitMicros, returning as soon as something has:
    // the count (0 when nothing came), or -1 when the link failed.
    int ReadWithin(uint8_t* buffer, uint32_t length, int64_t waitMicros);
    // How long the line must stay quiet after a reply before the reply
    // pace takes it as over.
    int64_t SettleMicros() const;
    void Close();
    const platform::Failure& LastFailure() const { return m_failure; }
    void ClearFailure() { m_failure = {}; }

    Presence GetPresence() const { return m_presence; }
    const std::string& DevicePath() const { return m_devicePath; }

    // A device-change notice: a removal of the open node closes it, and any
    // notice while the printer is away tries it again. A query to remove the
    // open node is denied; udev never asks one, but the answer stays.
    platform::UsbNoticeAnswer OnUsbNotice(const platform::UsbDeviceNotice& notice) override;

private:
    // Opens whichever node now carries this printer (the driver may number
    // a replugged printer anew), falling back to the node it was found on.
    bool OpenDevice();
    // A transfer found the printer gone: the device is closed and the port
    // waits for it to come back.
    void MarkRemoved();
    // While removed, each transfer tries the printer again first.
    bool ReadyForTransfer();

    platform::Platform& m_platform;
    platform::Failure m_failure;
    std::string m_devicePath;
    std::unique_ptr<platform::UsbPrinterDevice> m_device;
    std::string m_node; // where m_device is open
    bool m_firstOpen = true;
    bool m_listening = false;
    bool m_open = false;
    Presence m_presence = Presence::NeverOpened;
    std::mutex m_ioLock;
};

} // namespace kalo
