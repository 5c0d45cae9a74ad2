#include "CPrinterPort.h"

#include "ModelTable.h"
#include "platform/Interruption.h"
#include "platform/Text.h"

#include <algorithm>
#include <cerrno>

namespace kalo {

using platform::StartsWith;

namespace {

// Calls f on the held port object, whatever its kind; 0 when none is held.
template <typename Held, typename F>
int Dispatch(Held& held, F f)
{
    return std::visit(
        [&](auto& port) -> int {
            if constexpr (std::is_same_v<std::decay_t<decltype(port)>, std::monostate>)
                return 0;
            else
                return f(*port);
        },
        held);
}

} // namespace

namespace {

// usb/lpN names a USB printer's node and lpN a parallel port's, wherever
// the folder; any other path names no printer node.
std::optional<PortKind> PrinterNodeKind(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string last = path.substr(slash == std::string::npos ? 0 : slash + 1);
    const bool lp = last.size() >= 3 && last.size() <= 8 && last.compare(0, 2, "lp") == 0
        && std::all_of(last.begin() + 2, last.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!lp)
        return std::nullopt;
    const bool usb = slash != std::string::npos && slash >= 4 && path.compare(slash - 4, 4, "/usb") == 0;
    return usb ? PortKind::Usb : PortKind::Parallel;
}

} // namespace

PortKind DevicePathKind(const std::string& path)
{
    return PrinterNodeKind(path).value_or(PortKind::Serial);
}

std::optional<PortChoice> ChoosePortKind(const PortSettings& settings, platform::Platform& platform)
{
    const std::string& name = settings.portName;
    if (StartsWith(name, "/")) {
        const platform::DeviceNode node = platform.NodeAt(name);
        // The typed name first: a udev link such as /dev/usb/lp0 may lead anywhere.
        for (const std::string& named : {name, node.target})
            if (const std::optional<PortKind> kind = PrinterNodeKind(named); kind && node.present)
                return PortChoice{*kind, name};
        if (node.terminal)
            return PortChoice{PortKind::Serial, name};
        return std::nullopt;
    }
    if (StartsWith(name, "COM") || StartsWith(name, "\\\\.\\COM"))
        return PortChoice{PortKind::Serial, name};
    if (StartsWith(name, "LPT"))
        return PortChoice{PortKind::Parallel, name};
    // A USB entry is "<short name>:<device path>".
    for (const ModelInfo& model : kModels) {
        if (name.find(model.shortName) != std::string::npos) {
            const size_t cut = model.shortName.size() + 1;
            return PortChoice{PortKind::Usb, name.size() > cut ? name.substr(cut) : std::string()};
        }
    }
    if (settings.tcpPort != 0)
        return PortChoice{PortKind::Ethernet, name};
    return std::nullopt;
}

std::string ConnectionText(const PortSettings& settings, const std::optional<PortChoice>& choice)
{
    if (choice && choice->kind == PortKind::Ethernet)
        return "socket://" + settings.portName + ":" + std::to_string(settings.tcpPort);
    if (!choice || choice->kind != PortKind::Serial)
        return settings.portName;
    static const char kParity[] = "noems";
    static const char* const kStopBits[] = {"1", "1.5", "2"};
    static const char* const kFlow[] = {",p", ",x", ""};
    return settings.portName + ", " + std::to_string(settings.baudRate) + "," + kParity[settings.parity % 5] + ","
        + std::to_string(settings.dataBits) + "," + kStopBits[settings.stopBits % 3] + kFlow[settings.flowControl % 3];
}

CPrinterPort::CPrinterPort(platform::Platform& platform)
    : m_platform(platform)
    , m_trace(platform.Trace())
{
}

void CPrinterPort::TraceFailure()
{
    const platform::Failure& failure = LastFailure();
    if (failure.Empty()
        || std::find(m_tracedFailures.begin(), m_tracedFailures.end(), failure) != m_tracedFailures.end())
        return;
    m_trace->Error(failure);
    m_tracedFailures.push_back(failure);
}

CPrinterPort::~CPrinterPort() = default;

int CPrinterPort::Configure(PortSettings settings)
{
    const std::optional<PortChoice> choice = ChoosePortKind(settings, m_platform);
    // The reply pace is named; a fixed one leaves the header as it always was.
    if (m_trace)
        m_trace->Connection(ConnectionText(settings, choice) + (m_pace == Pace::Reply ? ", pace reply" : ""));
    const int result = ConfigureHeld(std::move(settings), choice);
    if (m_trace)
        TraceFailure();
    return result;
}

int CPrinterPort::ConfigureHeld(PortSettings settings, const std::optional<PortChoice>& choice)
{
    m_port = std::monostate{};
    m_keptFailure = {};
    m_tracedFailures.clear();
    m_ahead.Discard();
    m_served = false;
    if (!choice && StartsWith(settings.portName, "/")) {
        // A device path names one device: what is wrong with it is the refusal.
        m_keptFailure = m_platform.NodeAt(settings.portName).present
            ? platform::Failure{"configure", settings.portName, platform::kErrNotSupported, 0,
                                "not a serial line, a parallel port or a USB printer"}
            : platform::Failure{"open", settings.portName, platform::kErrNoDevice, ENOENT, "No such file or directory"};
        return 0;
    }
    if (!choice) {
        m_keptFailure = {"configure", settings.portName, platform::kErrArgument, 0,
                         settings.portName.empty() ? "no port chosen"
                                                   : "neither a COM, LPT or USB port nor an address with a TCP port"};
        return 0;
    }
    m_kind = choice->kind;
    m_portName = settings.portName;
    settings.portName = choice->name;
    auto install = [&](auto port) {
        const int result = port->Configure(settings);
        m_port = std::move(port);
        return result;
    };
    switch (choice->kind) {
    case PortKind::Serial: return install(std::make_unique<CSerialPort>(m_platform));
    case PortKind::Parallel: return install(std::make_unique<CParallelPort>(m_platform));
    case PortKind::Usb: return install(std::make_unique<CUsbPort>(m_platform));
    case PortKind::Ethernet: return install(std::make_unique<CEthernetPort>(m_platform));
    }
    return 0;
}

int CPrinterPort::Open()
{
    m_tally = {};
    m_ahead.Discard();
    m_served = false;
    const int result = Dispatch(m_port, [](auto& port) { return port.Open(); });
    if (m_trace)
        TraceFailure();
    return result;
}

int CPrinterPort::OpenAnyState()
{
    auto* parallel = std::get_if<std::unique_ptr<CParallelPort>>(&m_port);
    if (!parallel)
        return Open();
    m_tally = {};
    m_ahead.Discard();
    m_served = false;
    const int result = (*parallel)->OpenAnyState();
    if (m_trace)
        TraceFailure();
    return result;
}

std::optional<uint8_t> CPrinterPort::LineStatus()
{
    auto* parallel = std::get_if<std::unique_ptr<CParallelPort>>(&m_port);
    return parallel ? (*parallel)->LineStatus() : std::nullopt;
}

int CPrinterPort::Write(const uint8_t* data, uint32_t length)
{
    // An interrupted program sends nothing more, but the bytes asked for
    // still count: the tally says how far the operation got.
    const int written =
        platform::Interrupted() ? 0 : Dispatch(m_port, [&](auto& port) { return port.Write(data, length); });
    // A new command: what the printer says next it has yet to say. Bytes a
    // step read ahead and left are no part of the reply to this command:
    // taken as its start, they would shift it.
    m_served = false;
    m_ahead.Discard();
    m_ahead.Unsettle();
    m_tally.requested += length;
    m_tally.written += uint64_t(written > 0 ? written : 0);
    if (m_trace) {
        m_trace->Sent(data, size_t(written > 0 ? written : 0));
        TraceFailure();
    }
    return written;
}

const platform::Failure& CPrinterPort::LastFailure() const
{
    if (const auto* serial = std::get_if<std::unique_ptr<CSerialPort>>(&m_port))
        return (*serial)->LastFailure();
    if (const auto* ethernet = std::get_if<std::unique_ptr<CEthernetPort>>(&m_port))
        return (*ethernet)->LastFailure();
    if (const auto* usb = std::get_if<std::unique_ptr<CUsbPort>>(&m_port))
        return (*usb)->LastFailure();
    if (const auto* parallel = std::get_if<std::unique_ptr<CParallelPort>>(&m_port))
        return (*parallel)->LastFailure();
    return m_keptFailure;
}

void CPrinterPort::StartOperation()
{
    m_tally = {};
    m_keptFailure = {};
    m_tracedFailures.clear();
    Dispatch(m_port, [](auto& port) {
        port.ClearFailure();
        return 0;
    });
}

std::string CPrinterPort::FailureText() const
{
    return platform::DescribeFailure(LastFailure(), m_portName);
}

bool CPrinterPort::LinkLost() const
{
    const platform::Result result = LastFailure().result;
    return result == platform::kErrClosed;
}

int CPrinterPort::Read(uint8_t* buffer, uint32_t length)
{
    // The wait before this read has settled: what is there now is taken, nothing is waited for.
    if (m_served)
        return ReadBounded(buffer, length, 0);
    if (platform::Interrupted() || !buffer || length == 0)
        return 0;
    uint32_t ahead = 0;
    if (TakeAhead(buffer, length, ahead))
        return int(ahead);
    const int got = Dispatch(m_port, [&](auto& port) { return port.Read(buffer + ahead, length - ahead); });
    if (m_trace) {
        m_trace->Received(buffer + ahead, size_t(got > 0 ? got : 0));
        TraceFailure();
    }
    return ahead > 0 ? int(ahead) + std::max(0, got) : got;
}

int CPrinterPort::ReadBounded(uint8_t* buffer, uint32_t length, int64_t waitMicros)
{
    if (platform::Interrupted() || !buffer || length == 0)
        return 0;
    uint32_t ahead = 0;
    if (TakeAhead(buffer, length, ahead))
        return int(ahead);
    const int got = ReadWithin(buffer + ahead, length - ahead, m_served ? 0 : std::max<int64_t>(0, waitMicros));
    return int(ahead) + std::max(0, got);
}

bool CPrinterPort::TakeAhead(uint8_t* buffer, uint32_t length, uint32_t& ahead)
{
    // Bytes read ahead come first, as they came; a block link's one
    // receive gives what was there, a byte-wise read goes on for the rest.
    ahead = m_ahead.Take(buffer, length);
    return ahead == length || (ahead > 0 && !IsByteWise(m_kind));
}

ReadAhead::Source CPrinterPort::AheadSource()
{
    return [this](uint8_t* into, uint32_t room, int64_t wait) { return ReadWithin(into, room, wait); };
}

int CPrinterPort::ReadWithin(uint8_t* buffer, uint32_t length, int64_t waitMicros)
{
    const int got = Dispatch(m_port, [&](auto& port) { return port.ReadWithin(buffer, length, waitMicros); });
    if (m_trace) {
        m_trace->Received(buffer, size_t(got > 0 ? got : 0));
        TraceFailure();
    }
    return got;
}

int64_t CPrinterPort::SettleMicros() const
{
    return std::visit(
        [](const auto& port) -> int64_t {
            if constexpr (std::is_same_v<std::decay_t<decltype(port)>, std::monostate>)
                return 0;
            else
                return port->SettleMicros();
        },
        m_port);
}

void CPrinterPort::AwaitReply(uint32_t ms, const ReplyShape& shape)
{
    platform::Clock& clock = m_platform.GetClock();
    if (m_pace == Pace::Fixed || !HoldsPort()) {
        clock.SleepMs(ms);
        return;
    }
    Awaited(ms, m_ahead.Await(clock, int64_t(ms) * 1000, shape, SettleMicros(), AheadSource()));
}

void CPrinterPort::DrainReplies(uint32_t boundMs)
{
    if (HoldsPort())
        Awaited(boundMs, m_ahead.Await(m_platform.GetClock(), int64_t(boundMs) * 1000, ReplyShape::Nothing(),
                                       SettleMicros(), AheadSource(), false));
}

void CPrinterPort::Awaited(uint32_t ms, const ReadAhead::Outcome& outcome)
{
    // A reply that did not come whole in the wait's full length may still
    // come late: the step's reads then wait for it as the fixed pace's do,
    // so it is not left to land in front of the next reply.
    m_served = outcome.whole;
    if (m_trace)
        m_trace->WaitEnded(ms, uint32_t(outcome.micros / 1000));
}

void CPrinterPort::Close()
{
    Dispatch(m_port, [](auto& port) {
        port.Close();
        return 0;
    });
    m_ahead.Discard();
    m_served = false;
    // The reason a refused printer was closed for must outlive the port object.
    m_keptFailure = LastFailure();
    m_port = std::monostate{};
}

} // namespace kalo
