#pragma once

#include "InProcessLink.h"
#include "VirtualPrinter.h"
#include "platform/Platform.h"
#include "RecordingMessageSink.h"
#include "VirtualClock.h"

#include <functional>
#include <map>
#include <memory>
#include <sstream>

namespace kalo::sim {

// A whole machine in one process: a virtual clock, recorded message boxes,
// and one virtual printer reachable on one serial device path and one
// network address. Opening either builds a fresh link to the same printer.
class InProcessPlatform final : public platform::Platform {
public:
    explicit InProcessPlatform(PrinterOptions options = {});

    platform::Clock& GetClock() override { return m_clock; }
    platform::MessageSink& Messages() override { return m_messages; }
    const platform::PortMap& Ports() override { return m_ports; }
    std::unique_ptr<platform::SerialDevice> NewSerialDevice() override;
    std::unique_ptr<platform::StreamSocket> NewStreamSocket() override;
    std::unique_ptr<platform::UsbPrinterDevice> NewUsbPrinterDevice() override;
    std::vector<platform::UsbPrinterInfo> ListUsbPrinters() override { return usbPrinters; }
    platform::FedUsbDeviceWatcher& UsbWatcher() override { return m_usbWatcher; }
    std::vector<platform::DevicePathInfo> ListSerialDevices() override { return serialDevices; }
    std::vector<platform::DevicePathInfo> ListParallelDevices() override { return parallelDevices; }
    // The serial path is the one terminal; links lead where deviceLinks says.
    platform::DeviceNode NodeAt(const std::string& path) override;
    uint32_t VersionWord() override { return versionWord; }
    std::unique_ptr<platform::ParallelDevice> NewParallelDevice() override;
    // The printer's address stands for itself, the names of hostAddresses
    // for theirs; any other name does not resolve.
    platform::NameResolver& Names() override { return *m_names; }
    // Real programs, unless childProcesses makes the children.
    std::unique_ptr<platform::ChildProcesses> NewChildProcesses() override;

    VirtualClock& Clock() { return m_clock; }
    const VirtualClock& Clock() const { return m_clock; }
    RecordingMessageSink& Recorded() { return m_messages; }
    const RecordingMessageSink& Recorded() const { return m_messages; }
    VirtualPrinter& Printer() { return m_printer; }
    const std::vector<std::string>& Paper() const { return m_paper; }
    std::string WireLogText() const { return m_wireText.str(); }

    // Where the printer is attached.
    std::string serialPath = "/dev/ttyS0";
    std::string networkHost = "10.0.0.50";
    uint16_t networkPort = 9100;
    // The serial and parallel devices listed, in this order (none opens
    // unless it is the printer's path), and links to devices: link -> target.
    std::vector<platform::DevicePathInfo> serialDevices;
    std::vector<platform::DevicePathInfo> parallelDevices;
    std::map<std::string, std::string> deviceLinks;
    std::string LinkTarget(const std::string& path) const;
    // A device without modem lines (as a pseudo-terminal is).
    bool serialWithoutModemLines = false;
    // DSR as the printer holds it; starts from the dsr-low fault.
    bool dsrLow = false;
    bool failSocketCreate = false;
    // The serial device is there but only root may open it (EACCES).
    bool serialPermissionDenied = false;
    // Another program has the serial device open (EBUSY).
    bool serialHeldElsewhere = false;
    // An established connection dies: the system gives up on it with ETIMEDOUT.
    bool connectionTimesOut = false;

    // The USB printer-class devices listed, in this order. Every listed node
    // opens onto the one virtual printer unless it is refused; a node that is
    // not listed does not exist.
    std::vector<platform::UsbPrinterInfo> usbPrinters;
    std::vector<std::string> usbRefusedNodes; // EACCES on open
    // The printer is pulled out: opens fail, open devices fail with ENODEV.
    bool usbUnplugged = false;
    uint32_t versionWord = 0x4A65000A; // an NT-family word (10.0, build 19045)
    // The printer on the parallel port: the status byte it reports, whether
    // the status query fails, and a write that stops after so many bytes,
    // with writeErrno (ENODEV unplugged, ENOSPC out of paper) or, when that
    // is 0, with the printer taking nothing more.
    std::string parallelPath = "/dev/lp0";
    uint8_t parallelStatus = platform::kLptNotBusy | platform::kLptAck | platform::kLptSelected | platform::kLptNoError;
    bool parallelStatusFails = false;
    bool parallelPermissionDenied = false;
    int parallelWriteStopsAfter = -1;
    int parallelWriteErrno = 0;
    int parallelStatusQueries = 0;

    // What the program did last: the device it opened, the line it set, the
    // link it used (kept after closing), and how many devices are open now.
    std::string lastOpenedPath;
    platform::LineSettings lastLine;
    std::shared_ptr<InProcessLink> lastLink;
    int openDevices = 0;

    std::map<std::string, std::vector<std::string>> hostAddresses;
    std::function<std::unique_ptr<platform::ChildProcesses>()> childProcesses;

    // When set, every link opened from now on answers with it instead of the printer.
    InProcessLink::Responder responder;

    // A link to the printer, named in the wire log by kind and address ("serial /dev/ttyS0").
    std::shared_ptr<InProcessLink> NewLink(int64_t byteMicros, const std::string& name);

private:
    VirtualClock m_clock;
    RecordingMessageSink m_messages;
    platform::PortMap m_ports;
    platform::FedUsbDeviceWatcher m_usbWatcher;
    std::unique_ptr<platform::NameResolver> m_names;
    std::vector<std::string> m_paper;
    std::ostringstream m_wireText;
    WireLog m_wireLog;
    VirtualPrinter m_printer;
    ReplyTiming m_timing;
};

} // namespace kalo::sim
