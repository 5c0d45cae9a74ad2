#include "InProcessPlatform.h"

#include "platform/Result.h"

namespace kalo::sim {

using namespace platform;

namespace {

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

    int Open(const std::string& path) override
    {
        m_machine.lastOpenedPath = path;
        if (path != m_machine.serialPath)
            return kErrNoDevice;
        if (m_machine.openDevices > 0)
            return kErrBusy;
        m_link = m_machine.NewLink(CharacterMicros(m_line));
        ++m_machine.openDevices;
        return kOk;
    }
    int GetLine(LineSettings& settings) override
    {
        settings = m_line;
        return kOk;
    }
    int SetLine(const LineSettings& settings) override
    {
        if (!ValidLine(settings))
            return kErrArgument;
        m_line = settings;
        m_machine.lastLine = settings;
        m_link->SetByteMicros(CharacterMicros(settings));
        return kOk;
    }
    int GetModemStatus(unsigned& lines) override
    {
        if (m_machine.serialWithoutModemLines)
            return kErrNotSupported;
        lines = kModemCts | (m_machine.dsrLow ? 0u : unsigned(kModemDsr));
        return kOk;
    }
    int Purge() override
    {
        m_link->DiscardInput();
        m_link->DropOutput();
        return kOk;
    }
    int WaitReadable(int64_t timeoutMicros) override
    {
        if (m_link->WaitReadable(timeoutMicros))
            return kOk;
        return m_link->HungUp() ? kErrClosed : kErrTimeout;
    }
    long ReadAvailable(uint8_t* buffer, size_t length) override
    {
        const size_t n = m_link->ReadArrived(buffer, length);
        return n == 0 && m_link->HungUp() ? long(kErrClosed) : long(n);
    }
    int WaitWritable(int64_t) override { return m_link->HungUp() ? kErrClosed : kOk; }
    long WriteAvailable(const uint8_t* data, size_t length) override
    {
        const size_t n = m_link->Write(data, length);
        return n == 0 && m_link->HungUp() ? long(kErrClosed) : long(n);
    }
    long WaitDrained(int64_t timeoutMicros) override { return long(m_link->WaitDrained(timeoutMicros)); }
    int FlushOutput() override
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

private:
    InProcessPlatform& m_machine;
    LineSettings m_line; // what the device reports before anyone sets it
    std::shared_ptr<InProcessLink> m_link;
};

class InProcessSocket final : public StreamSocket {
public:
    explicit InProcessSocket(InProcessPlatform& machine) : m_machine(machine) {}
    ~InProcessSocket() override { Close(); }

    int Create() override
    {
        if (m_machine.failSocketCreate)
            return kErrFail;
        m_created = true;
        ++m_machine.openDevices;
        return kOk;
    }
    int Connect(const std::string& host, uint16_t port, int64_t timeoutMicros) override
    {
        m_machine.lastOpenedPath = host + ":" + std::to_string(port);
        if (host != m_machine.networkHost) {
            m_machine.Clock().AdvanceBy(timeoutMicros); // nobody answers at that address
            return kErrTimeout;
        }
        if (port != m_machine.networkPort)
            return kErrRefused;
        m_link = m_machine.NewLink(0);
        return kOk;
    }
    long Send(const uint8_t* data, size_t length, int64_t) override
    {
        if (!m_link)
            return kErrArgument;
        return m_link->Write(data, length) == length ? long(length) : long(kErrClosed);
    }
    long Receive(uint8_t* buffer, size_t length, int64_t timeoutMicros) override
    {
        if (!m_link)
            return kErrArgument;
        if (m_link->WaitReadable(timeoutMicros))
            return long(m_link->ReadArrived(buffer, length));
        return m_link->HungUp() ? 0 : long(kErrTimeout);
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

private:
    InProcessPlatform& m_machine;
    bool m_created = false;
    std::shared_ptr<InProcessLink> m_link;
};

} // namespace

InProcessPlatform::InProcessPlatform(PrinterOptions options)
    : m_ports([](const char*) -> const char* { return nullptr; })
    , m_wireLog(&m_wireText)
    , m_printer(std::move(options), [this](const std::string& line) { m_paper.push_back(line); })
{
    dsrLow = m_printer.Options().dsrLow;
}

std::shared_ptr<InProcessLink> InProcessPlatform::NewLink(int64_t byteMicros)
{
    lastLink = std::make_shared<InProcessLink>(m_printer, m_clock, &m_wireLog);
    lastLink->SetByteMicros(byteMicros);
    return lastLink;
}

std::unique_ptr<SerialDevice> InProcessPlatform::NewSerialDevice()
{
    return std::make_unique<InProcessSerialDevice>(*this);
}

std::unique_ptr<StreamSocket> InProcessPlatform::NewStreamSocket()
{
    return std::make_unique<InProcessSocket>(*this);
}

} // namespace kalo::sim
