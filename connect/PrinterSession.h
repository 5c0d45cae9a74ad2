#pragma once

#include "Connection.h"
#include "PrinterIdentification.h"
#include "SpoolerHold.h"

#include <memory>
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
};

struct SessionOpening;

// The connection a printer command works over: spooler queues freed, the
// port open and the printer identified, as Check Communication leaves it.
class PrinterSession {
public:
    static SessionOpening Open(const SessionRequest& request);

    CPrinterPort& Port() { return m_port; }
    PortKind Interface() const { return m_connection.interfaceKind; }
    const IdentifyResult& Identity() const { return m_identity; }
    ~PrinterSession();

private:
    PrinterSession(const SessionRequest& request, ResolvedConnection connection);
    ResolvedConnection m_connection;
    SpoolerHold m_hold;
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
