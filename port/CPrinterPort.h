#pragma once

#include "CEthernetPort.h"
#include "CParallelPort.h"
#include "CSerialPort.h"
#include "CUsbPort.h"
#include "Pace.h"
#include "PortSettings.h"
#include "PrinterPortKind.h"
#include "ReadAhead.h"
#include "ReplyShape.h"
#include "platform/Failure.h"
#include "platform/WireTrace.h"

#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace kalo {

// The kind a port name selects, and the name the kind is handed
// (USB entries lose their model prefix).
struct PortChoice {
    PortKind kind;
    std::string name;
};

// The port factory's choice: the tests run in this order, case-sensitive,
// and the first match wins. A device path ("/dev/...", or any name that
// begins with '/') is chosen by what the platform finds there: usb/lpN the
// USB kind, lpN the parallel kind, a terminal the serial kind; the kind
// comes from where its links lead (/dev/serial/by-id/...), the typed path is
// what is opened. No value when nothing matches.
std::optional<PortChoice> ChoosePortKind(const PortSettings& settings, platform::Platform& platform);

// The port kind a device path names by itself, without looking at the
// device: usb/lpN USB, lpN parallel, anything else serial (a registry entry
// or a print queue says which device it is, present or not).
PortKind DevicePathKind(const std::string& path);

// The port and its settings as a trace's header names them: "COM1,
// 9600,n,8,1,p" (the ports key's form), "socket://10.0.0.7:9100", "LPT1".
std::string ConnectionText(const PortSettings& settings, const std::optional<PortChoice>& choice);

static_assert(PrinterPortKind<CSerialPort>);
static_assert(PrinterPortKind<CParallelPort>);
static_assert(PrinterPortKind<CUsbPort>);
static_assert(PrinterPortKind<CEthernetPort>);

// Every byte the program exchanges with the printer goes through the one
// facade the main window owns. Once the program is interrupted it reads and
// writes nothing more. It holds at most one port object of the kind
// the last Configure chose. When the platform offers a trace, every
// transfer and failure goes to it as it happens.
class CPrinterPort {
public:
    explicit CPrinterPort(platform::Platform& platform);
    ~CPrinterPort();
    CPrinterPort(const CPrinterPort&) = delete;
    CPrinterPort& operator=(const CPrinterPort&) = delete;

    int Configure(PortSettings settings);
    int Open();
    // As Open, but a parallel printer that reports itself not ready (out of
    // paper, deselected, at fault) is opened all the same, for a status read.
    int OpenAnyState();
    // A parallel port's status byte (platform::ParallelStatusBit) now: what the
    // lp driver can tell when the printer's own replies do not come back. None
    // on the other kinds, or when it cannot be read.
    std::optional<uint8_t> LineStatus();
    int Write(const uint8_t* data, uint32_t length);
    int Read(uint8_t* buffer, uint32_t length);
    // As Read, but waits at most waitMicros for what has not come, whatever
    // the port's own read time-out: a read under a bound of the caller's
    // (the real-time status has one second for all its replies).
    int ReadBounded(uint8_t* buffer, uint32_t length, int64_t waitMicros);
    void Close();

    // A wait before the reads of one step. Under the fixed pace the clock
    // sleeps ms. Under the reply pace the wait reads ahead until shape is
    // whole and the line has settled, and never lasts past ms; the step's
    // reads then take what it read, and wait for nothing more. A reply not
    // whole by then is read on as under the fixed pace.
    void AwaitReply(uint32_t ms, const ReplyShape& shape);
    // Under the reply pace, a drain in one wait: it drops what comes until
    // the line has been quiet for the settle time, and never lasts past
    // boundMs. (Under the fixed pace each drain keeps its own rhythm.)
    void DrainReplies(uint32_t boundMs);
    bool ReplyPaced() const { return m_pace == Pace::Reply; }
    // Under the reply pace: the last wait's reply came whole and the line
    // went quiet after it, with no command sent since.
    bool ReplySettled() const { return m_pace == Pace::Reply && m_ahead.Settled(); }

    // What the writes since Open (or since StartOperation) asked for and
    // what went out: an operation that spans several exchanges reports a
    // write cut short with the real counts.
    struct WriteTally {
        uint64_t requested = 0;
        uint64_t written = 0;
        bool CutShort() const { return written < requested; }
    };
    const WriteTally& Tally() const { return m_tally; }
    // A new operation of the technician's: its counts and its failures start
    // afresh, so an older failure is not reported as this one's.
    void StartOperation();

    // The last platform call that failed on the held port, with the system's
    // reason, or why Configure refused; kept after Close; empty when nothing
    // has failed since Configure.
    const platform::Failure& LastFailure() const;
    // True once a read or write found the printer gone (hang-up, reset).
    bool LinkLost() const;
    // The last failure in words, with a hint where there is one; empty when none.
    std::string FailureText() const;

    // The pace of the waits before reads; kept across Configure, Open and
    // Close, so a window changes it for the rest of its run.
    void SetPace(Pace pace) { m_pace = pace; }
    Pace GetPace() const { return m_pace; }

    bool HoldsPort() const { return !std::holds_alternative<std::monostate>(m_port); }
    PortKind Kind() const { return m_kind; }
    platform::Platform& GetPlatform() { return m_platform; }

private:
    int ConfigureHeld(PortSettings settings, const std::optional<PortChoice>& choice);
    // Writes the port's failure to the trace unless it is there already:
    // a link that is gone fails every call the same way.
    void TraceFailure();
    // Reads what arrives within waitMicros for a wait under the reply pace.
    int ReadWithin(uint8_t* buffer, uint32_t length, int64_t waitMicros);
    ReadAhead::Source AheadSource();
    // Moves bytes read ahead into buffer (ahead: how many); true when they answer the read.
    bool TakeAhead(uint8_t* buffer, uint32_t length, uint32_t& ahead);
    int64_t SettleMicros() const;
    void Awaited(uint32_t ms, const ReadAhead::Outcome& outcome);

    using Held = std::variant<std::monostate, std::unique_ptr<CSerialPort>, std::unique_ptr<CEthernetPort>,
                              std::unique_ptr<CParallelPort>, std::unique_ptr<CUsbPort>>;

    platform::Platform& m_platform;
    Held m_port;
    PortKind m_kind = PortKind::Serial;
    Pace m_pace = Pace::Fixed;
    ReadAhead m_ahead;
    bool m_served = false; // the reads since the last wait take only what it read, and what is there
    WriteTally m_tally;
    std::string m_portName; // as configured: the hints name its KALO_PORT_ variable
    platform::Failure m_keptFailure; // Configure's refusal, or the port's last failure after Close
    platform::WireTrace* const m_trace;  // null when the program was not asked for a trace
    std::vector<platform::Failure> m_tracedFailures; // since Configure or StartOperation
};

} // namespace kalo
