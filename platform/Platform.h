#pragma once

#include "ChildProcesses.h"
#include "Clock.h"
#include "DevicePathInfo.h"
#include "MessageSink.h"
#include "NameResolver.h"
#include "ParallelDevice.h"
#include "PortMap.h"
#include "SerialDevice.h"
#include "StreamSocket.h"
#include "UsbDeviceWatcher.h"
#include "UsbPrinterDevice.h"

#include <memory>
#include <vector>

namespace kalo::platform {

class WireTrace;

// What the port kinds, the exchanges and the commands need from the
// operating system, in one place. The POSIX platform reaches real devices; the in-process platform of
// the virtual printer runs the same code against a simulated printer on a
// virtual clock. A Platform outlives every port that uses it.
class Platform {
public:
    virtual ~Platform() = default;
    virtual Clock& GetClock() = 0;
    virtual MessageSink& Messages() = 0;
    virtual const PortMap& Ports() = 0;
    virtual std::unique_ptr<SerialDevice> NewSerialDevice() = 0;
    virtual std::unique_ptr<StreamSocket> NewStreamSocket() = 0;
    virtual std::unique_ptr<UsbPrinterDevice> NewUsbPrinterDevice() = 0;
    // The USB printer-class devices present now, in a stable order.
    virtual std::vector<UsbPrinterInfo> ListUsbPrinters() = 0;
    // The one source of device-change notices for USB printers, made on
    // first use (a program that never touches USB opens no monitor).
    virtual UsbDeviceWatcher& UsbWatcher() = 0;
    // The serial devices present now (USB adapters, then built-in ports that
    // have a UART), and the parallel ones, in a stable order.
    virtual std::vector<DevicePathInfo> ListSerialDevices() = 0;
    virtual std::vector<DevicePathInfo> ListParallelDevices() = 0;
    // What is at a typed device path, looked at without sending anything.
    virtual DeviceNode NodeAt(const std::string& path) = 0;
    // The system's version word, as IsWin9xFamily reads it.
    virtual uint32_t VersionWord() = 0;
    virtual std::unique_ptr<ParallelDevice> NewParallelDevice() = 0;
    // Host names to addresses (a fleet finds one printer under two names).
    virtual NameResolver& Names() = 0;
    // Programs run beside this one (a fleet's children).
    virtual std::unique_ptr<ChildProcesses> NewChildProcesses() = 0;
    // Where the port facade writes what crosses the wire; none unless the
    // program was asked for a trace.
    virtual WireTrace* Trace() { return nullptr; }
};

} // namespace kalo::platform
