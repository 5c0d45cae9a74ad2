#pragma once

#include "Platform.h"

namespace kalo::platform {

// A platform that hands every call to another: a decorator overrides only
// what it changes.
class ForwardingPlatform : public Platform {
public:
    explicit ForwardingPlatform(Platform& inner)
        : m_inner(inner)
    {
    }

    Clock& GetClock() override { return m_inner.GetClock(); }
    MessageSink& Messages() override { return m_inner.Messages(); }
    const PortMap& Ports() override { return m_inner.Ports(); }
    std::unique_ptr<SerialDevice> NewSerialDevice() override { return m_inner.NewSerialDevice(); }
    std::unique_ptr<StreamSocket> NewStreamSocket() override { return m_inner.NewStreamSocket(); }
    std::unique_ptr<UsbPrinterDevice> NewUsbPrinterDevice() override { return m_inner.NewUsbPrinterDevice(); }
    std::vector<UsbPrinterInfo> ListUsbPrinters() override { return m_inner.ListUsbPrinters(); }
    UsbDeviceWatcher& UsbWatcher() override { return m_inner.UsbWatcher(); }
    std::vector<DevicePathInfo> ListSerialDevices() override { return m_inner.ListSerialDevices(); }
    std::vector<DevicePathInfo> ListParallelDevices() override { return m_inner.ListParallelDevices(); }
    DeviceNode NodeAt(const std::string& path) override { return m_inner.NodeAt(path); }
    uint32_t VersionWord() override { return m_inner.VersionWord(); }
    std::unique_ptr<ParallelDevice> NewParallelDevice() override { return m_inner.NewParallelDevice(); }
    NameResolver& Names() override { return m_inner.Names(); }
    std::unique_ptr<ChildProcesses> NewChildProcesses() override { return m_inner.NewChildProcesses(); }
    WireTrace* Trace() override { return m_inner.Trace(); }

protected:
    Platform& m_inner;
};

} // namespace kalo::platform
