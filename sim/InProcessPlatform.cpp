#include "InProcessPlatform.h"

#include "platform/Deadline.h"
#include "platform/Result.h"

#include <algorithm>
#include <cerrno>

namespace kalo::sim {

using namespace platform;

namespace {

// A failed call as the POSIX devices record it, with the text the system
// gives for that errno.
Failure SystemLike(const char* call, const std::string& target, int errnoValue, const char* systemText)
{
    return Failure{call, target, MapErrno(errnoValue), errnoValue, systemText};
}

bool IsDottedAddress(const std::string& host)
{
    int fields = 0;
    size_t digits = 0;
    for (char c : host + ".") {
        if (c == '.') {
            if (digits == 0 || digits > 3)
                return false;
            ++fields;
            digits = 0;
        } else if (c >= '0' && c <= '9') {
            ++digits;
        } else {
            return false;
        }
    }
    return fields == 4;
}

class TableNameResolver final : public NameResolver {
public:
    explicit TableNameResolver(InProcessPlatform& machine) : m_machine(machine) {}

    std::vector<HostAddresses> Resolve(const std::vector<std::string>& hosts, int64_t) override
    {
        std::vector<HostAddresses> results;
        for (const std::string& host : hosts) {
            const auto known = m_machine.hostAddresses.find(host);
            if (host == m_machine.networkHost)
                results.push_back({{host}, ""});
            else if (known != m_machine.hostAddresses.end())
                results.push_back({known->second, ""});
            else
                results.push_back({{}, "Name or service not known"});
        }
        return results;
    }

private:
    InProcessPlatform& m_machine;
};

int64_t CharacterMicros(const LineSettings& line)
{
    const int bits = 1 + line.byteSize + (line.parity ? 1 : 0) + (line.stopBits ? 2 : 1);
    return line.baudRate ? int64_t(bits) * 1000000 / line.baudRate : 0;
}

bool ValidLine(const LineSettings& line)
{
    static const uint32_t kRates[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    bool rateOk = false;
    for (uint32_t rate : kRates)
        rateOk = rateOk || rate == line.baudRate;
    return rateOk && line.byteSize >= 5 && line.byteSize <= 8 && line.parity <= 4 && line.stopBits <= 2;
}

class InProcessSerialDevice final : public SerialDevice {
public:
    explicit InProcessSerialDevice(InProcessPlatform& machine) : m_machine(machine) {}
    ~InProcessSerialDevice() override { Close(); }

    Result Open(const std::string& path) override
    {
        m_machine.lastOpenedPath = path;
        m_path = path;
        if (m_machine.LinkTarget(path) != m_machine.serialPath)
            return Fail("open", ENOENT, "No such file or directory");
        if (m_machine.serialPermissionDenied)
            return Fail("open", EACCES, "Permission denied");
        if (m_machine.serialHeldElsewhere)
            return Fail("open", EBUSY, "Device or resource busy");
        if (m_machine.openDevices > 0)
            return Fail("open", EWOULDBLOCK, "Resource temporarily unavailable"); // the advisory lock
        m_link = m_machine.NewLink(CharacterMicros(m_line), "serial " + path);
        ++m_machine.openDevices;
        return kOk;
    }
    Result GetLine(LineSettings& settings) override
    {
        settings = m_line;
        return kOk;
    }
    Result SetLine(const LineSettings& settings) override
    {
        if (!ValidLine(settings)) {
            Fail("set line", EINVAL, "Invalid argument");
            m_failure.result = kErrArgument; // as the POSIX device refuses what termios cannot say
            return kErrArgument;
        }
        m_line = settings;
        m_machine.lastLine = settings;
        m_link->SetByteMicros(CharacterMicros(settings));
        return kOk;
    }
    Result GetModemStatus(unsigned& lines) override
    {
        if (m_machine.serialWithoutModemLines)
            return Fail("modem status", ENOTTY, "Inappropriate ioctl for device");
        lines = kModemCts | (m_machine.dsrLow ? 0u : unsigned(kModemDsr));
        return kOk;
    }
    Result Purge() override
    {
        m_link->DiscardInput();
        m_link->DropOutput();
        return kOk;
    }
    Result WaitReadable(int64_t timeoutMicros) override
    {
        if (m_link->WaitReadable(timeoutMicros))
            return kOk;
        return m_link->HungUp() ? HungUp("read") : kErrTimeout;
    }
    long ReadAvailable(uint8_t* buffer, size_t length) override
    {
        const size_t n = m_link->ReadArrived(buffer, length);
        return n == 0 && m_link->HungUp() ? long(HungUp("read")) : long(n);
    }
    Result WaitWritable(int64_t) override { return m_link->HungUp() ? HungUp("write") : kOk; }
    long WriteAvailable(const uint8_t* data, size_t length) override
    {
        const size_t n = m_link->Write(data, length);
        // A terminal that has hung up refuses writes with EIO.
        return n == 0 && m_link->HungUp() ? long(Fail("write", EIO, "Input/output error")) : long(n);
    }
    long WaitDrained(int64_t timeoutMicros) override { return long(m_link->WaitDrained(timeoutMicros)); }
    Result FlushOutput() override
    {
        m_link->DropOutput();
        return kOk;
    }
    void Close() override
    {
        if (m_link) {
            m_link->Disconnect();
            m_link.reset();
            --m_machine.openDevices;
        }
    }
    const Failure& LastFailure() const override { return m_failure; }

private:
    Result Fail(const char* call, int errnoValue, const char* systemText)
    {
        m_failure = SystemLike(call, m_path, errnoValue, systemText);
        return m_failure.result;
    }
    Result HungUp(const char* call)
    {
        m_failure = Failure{call, m_path, kErrClosed, 0, kHungUpReason};
        return kErrClosed;
    }

    InProcessPlatform& m_machine;
    LineSettings m_line; // what the device reports before anyone sets it
    std::shared_ptr<InProcessLink> m_link;
    std::string m_path;
    Failure m_failure;
};

class InProcessSocket final : public StreamSocket {
public:
    explicit InProcessSocket(InProcessPlatform& machine) : m_machine(machine) {}
    ~InProcessSocket() override { Close(); }

    Result Create() override
    {
        if (m_machine.failSocketCreate)
            return Fail("socket", EMFILE, "Too many open files");
        m_created = true;
        ++m_machine.openDevices;
        return kOk;
    }
    Result Connect(const std::string& host, uint16_t port, int64_t timeoutMicros) override
    {
        m_target = host + ":" + std::to_string(port);
        m_machine.lastOpenedPath = m_target;
        if (!IsDottedAddress(host))
            return Own("connect", kErrNoDevice, "Name or service not known"); // as getaddrinfo says it
        if (host != m_machine.networkHost) {
            m_machine.Clock().AdvanceBy(timeoutMicros); // nobody answers at that address
            return Own("connect", kErrTimeout, "no answer within " + DurationText(timeoutMicros));
        }
        if (port != m_machine.networkPort)
            return Fail("connect", ECONNREFUSED, "Connection refused");
        m_link = m_machine.NewLink(0, "tcp " + m_target);
        return kOk;
    }
    long Send(const uint8_t* data, size_t length, int64_t) override
    {
        if (!m_link)
            return kErrArgument;
        if (m_machine.connectionTimesOut)
            return Fail("send", ETIMEDOUT, "Connection timed out");
        if (m_link->Write(data, length) == length)
            return long(length);
        return Fail("send", EPIPE, "Broken pipe");
    }
    long Receive(uint8_t* buffer, size_t length, int64_t timeoutMicros) override
    {
        if (!m_link)
            return kErrArgument;
        if (m_machine.connectionTimesOut)
            return Fail("receive", ETIMEDOUT, "Connection timed out");
        if (m_link->WaitReadable(timeoutMicros))
            return long(m_link->ReadArrived(buffer, length));
        if (!m_link->HungUp())
            return kErrTimeout;
        Own("receive", kErrClosed, kPeerClosedReason);
        return 0;
    }
    void Close() override
    {
        if (m_link) {
            m_link->Disconnect();
            m_link.reset();
        }
        if (m_created) {
            m_created = false;
            --m_machine.openDevices;
        }
    }
    const Failure& LastFailure() const override { return m_failure; }

private:
    Result Fail(const char* call, int errnoValue, const char* systemText)
    {
        m_failure = SystemLike(call, m_target, errnoValue, systemText);
        return m_failure.result;
    }
    Result Own(const char* call, Result result, const std::string& reason)
    {
        m_failure = Failure{call, m_target, result, 0, reason};
        return result;
    }

    InProcessPlatform& m_machine;
    bool m_created = false;
    std::shared_ptr<InProcessLink> m_link;
    std::string m_target;
    Failure m_failure;
};

class InProcessUsbPrinterDevice final : public UsbPrinterDevice {
public:
    explicit InProcessUsbPrinterDevice(InProcessPlatform& machine) : m_machine(machine) {}
    ~InProcessUsbPrinterDevice() override { Close(); }

    Result Open(const std::string& path) override
    {
        m_machine.lastOpenedPath = path;
        m_path = path;
        const auto& listed = m_machine.usbPrinters;
        if (m_machine.usbUnplugged
            || std::none_of(listed.begin(), listed.end(), [&](const UsbPrinterInfo& p) { return p.node == path; }))
            return Fail("open", ENOENT, "No such file or directory");
        const auto& refused = m_machine.usbRefusedNodes;
        if (std::find(refused.begin(), refused.end(), path) != refused.end())
            return Fail("open", EACCES, "Permission denied");
        if (m_link)
            return kErrArgument;
        m_link = m_machine.NewLink(0, "usb " + path);
        ++m_machine.openDevices;
        return kOk;
    }
    long Read(uint8_t* buffer, size_t length, int64_t timeoutMicros) override
    {
        if (m_machine.usbUnplugged)
            return Fail("read", ENODEV, "No such device");
        if (!m_link->WaitReadable(timeoutMicros))
            return 0;
        return long(m_link->ReadArrived(buffer, length));
    }
    long Write(const uint8_t* data, size_t length, int64_t timeoutMicros) override
    {
        if (m_machine.usbUnplugged)
            return Fail("write", ENODEV, "No such device");
        const size_t taken = m_link->Write(data, length);
        return long(taken - std::min(taken, m_link->WaitDrained(timeoutMicros)));
    }
    void Close() override
    {
        if (m_link) {
            m_link->Disconnect();
            m_link.reset();
            --m_machine.openDevices;
        }
    }
    const Failure& LastFailure() const override { return m_failure; }

private:
    Result Fail(const char* call, int errnoValue, const char* systemText)
    {
        m_failure = SystemLike(call, m_path, errnoValue, systemText);
        return m_failure.result;
    }

    InProcessPlatform& m_machine;
    std::shared_ptr<InProcessLink> m_link;
    std::string m_path;
    Failure m_failure;
};


class InProcessParallelDevice final : public ParallelDevice {
public:
    explicit InProcessParallelDevice(InProcessPlatform& machine) : m_machine(machine) {}
    ~InProcessParallelDevice() override { Close(); }

    Result Open(const std::string& path) override
    {
        m_machine.lastOpenedPath = path;
        m_path = path;
        if (m_machine.LinkTarget(path) != m_machine.parallelPath)
            return Fail("open", ENOENT, "No such file or directory");
        if (m_machine.parallelPermissionDenied)
            return Fail("open", EACCES, "Permission denied");
        if (m_machine.openDevices > 0)
            return Fail("open", EBUSY, "Device or resource busy"); // lp allows one opener
        m_link = m_machine.NewLink(0, "parallel " + path);
        m_sent = 0;
        ++m_machine.openDevices;
        return kOk;
    }
    Result GetStatus(uint8_t& status) override
    {
        ++m_machine.parallelStatusQueries;
        if (m_machine.parallelStatusFails)
            return Fail("status", EIO, "off line or reporting a fault");
        status = m_machine.parallelStatus;
        return kOk;
    }
    long Read(uint8_t* buffer, size_t length, int64_t totalMicros, int64_t intervalMicros) override
    {
        m_failure = {};
        Deadline deadline(m_machine.Clock(), totalMicros, intervalMicros);
        size_t got = 0;
        while (got < length && !deadline.Expired() && m_link->WaitReadable(deadline.Remaining())) {
            got += m_link->ReadArrived(buffer + got, length - got);
            deadline.Progress();
        }
        return long(got);
    }
    long Write(const uint8_t* data, size_t length, int64_t timeoutMicros) override
    {
        m_failure = {};
        size_t take = length;
        const int stopsAfter = m_machine.parallelWriteStopsAfter;
        if (stopsAfter >= 0)
            take = std::min(length, size_t(std::max<int64_t>(0, stopsAfter - m_sent)));
        const size_t sent = m_link->Write(data, take);
        m_sent += int64_t(sent);
        if (sent < length) {
            if (m_machine.parallelWriteErrno == ENOSPC)
                Fail("write", ENOSPC, "out of paper");
            else if (m_machine.parallelWriteErrno != 0)
                Fail("write", m_machine.parallelWriteErrno, "No such device");
            else
                m_machine.Clock().AdvanceBy(timeoutMicros); // the printer takes nothing more
        }
        return long(sent);
    }
    void Close() override
    {
        if (m_link) {
            m_link->Disconnect();
            m_link.reset();
            --m_machine.openDevices;
        }
    }
    const Failure& LastFailure() const override { return m_failure; }

private:
    Result Fail(const char* call, int errnoValue, const char* systemText)
    {
        m_failure = SystemLike(call, m_path, errnoValue, systemText);
        return m_failure.result;
    }

    InProcessPlatform& m_machine;
    std::shared_ptr<InProcessLink> m_link;
    std::string m_path;
    int64_t m_sent = 0;
    Failure m_failure;
};

} // namespace

InProcessPlatform::InProcessPlatform(PrinterOptions options)
    : m_ports([](const char*) -> const char* { return nullptr; })
    , m_names(std::make_unique<TableNameResolver>(*this))
    , m_wireLog(&m_wireText)
    , m_printer(std::move(options), [this](const std::string& line) { m_paper.push_back(line); })
    , m_timing(m_printer.Options())
{
    dsrLow = m_printer.Options().dsrLow;
}

std::shared_ptr<InProcessLink> InProcessPlatform::NewLink(int64_t byteMicros, const std::string& name)
{
    lastLink = std::make_shared<InProcessLink>(m_printer, m_timing, m_clock, &m_wireLog, name);
    lastLink->SetByteMicros(byteMicros);
    lastLink->SetResponder(responder);
    return lastLink;
}

std::string InProcessPlatform::LinkTarget(const std::string& path) const
{
    const auto link = deviceLinks.find(path);
    return link != deviceLinks.end() ? link->second : path;
}

DeviceNode InProcessPlatform::NodeAt(const std::string& path)
{
    DeviceNode node;
    node.target = LinkTarget(path);
    node.terminal = node.target == serialPath;
    node.present = node.terminal || node.target == parallelPath
        || std::any_of(usbPrinters.begin(), usbPrinters.end(),
                       [&](const UsbPrinterInfo& usb) { return usb.node == node.target; });
    return node;
}

std::unique_ptr<SerialDevice> InProcessPlatform::NewSerialDevice()
{
    return std::make_unique<InProcessSerialDevice>(*this);
}

std::unique_ptr<StreamSocket> InProcessPlatform::NewStreamSocket()
{
    return std::make_unique<InProcessSocket>(*this);
}

std::unique_ptr<UsbPrinterDevice> InProcessPlatform::NewUsbPrinterDevice()
{
    return std::make_unique<InProcessUsbPrinterDevice>(*this);
}


std::unique_ptr<ParallelDevice> InProcessPlatform::NewParallelDevice()
{
    return std::make_unique<InProcessParallelDevice>(*this);
}

std::unique_ptr<ChildProcesses> InProcessPlatform::NewChildProcesses()
{
    return childProcesses ? childProcesses() : platform::NewChildProcesses();
}

} // namespace kalo::sim
