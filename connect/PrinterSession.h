#pragma once

#include "Connection.h"
#include "PrinterIdentification.h"
#include "SpoolerHold.h"

#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace kalo {

// What a session is opened with.
struct SessionRequest {
    const ConnectionOptions& connection;
    platform::Platform& platform;
    platform::Spooler& spooler;
    const CRegistryKey& registry; // for a printer named from the registry
    std::ostream& diagnostics;    // the USB search's lines
    Pace pace;                    // from the identification on
};

// Why no session could be opened.
enum class SessionFailure {
    None,
    Refused,       // no port to choose (no such printer on USB)
    NotIdentified, // the port would not open or no supported printer answered
    Interrupted,   // the user stopped it: not the printer's fault
    Busy,          // a print queue is printing a job on the port: not opened
};

struct SessionOpening;

// The connection a printer command works over: spooler queues freed, the
// port open and the printer identified, as Check Communication leaves it.
class PrinterSession {
public:
    static SessionOpening Open(const SessionRequest& request);
    // The port opened and nothing sent: no identification, and the spooler
    // queues left alone, for a read that must not disturb a printer in use.
    // A parallel printer that reports itself not ready is opened all the
    // same; a port a print queue is printing on is not opened at all (Busy,
    // and the queue named). Identity() stays empty.
    static SessionOpening OpenUnidentified(const SessionRequest& request);

    CPrinterPort& Port() { return m_port; }
    PortKind Interface() const { return m_connection.interfaceKind; }
    const IdentifyResult& Identity() const { return m_identity; }
    ~PrinterSession();

private:
    PrinterSession(const SessionRequest& request, ResolvedConnection connection, bool holdSpooler);
    // The connection to use, or the refusal in opening.
    static std::optional<ResolvedConnection> Resolve(const SessionRequest& request, SessionOpening& opening);
    ResolvedConnection m_connection;
    std::optional<SpoolerHold> m_hold;
    CPrinterPort m_port;
    IdentifyResult m_identity;
};

struct SessionOpening {
    std::unique_ptr<PrinterSession> session; // null unless failure is None
    SessionFailure failure = SessionFailure::None;
    // The message as the main window shows it (lines may be joined by "\n");
    // empty when interrupted.
    std::string message;
    // What the system said of the port, when it said something.
    std::string detail;
};

} // namespace kalo
