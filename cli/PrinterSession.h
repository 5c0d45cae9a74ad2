#pragma once

#include "Command.h"
#include "SpoolerHold.h"
#include "app/PrinterIdentification.h"
#include "port/WriteReport.h"

#include <memory>
#include <optional>

namespace kalo::cli {

// The connection a printer command works over: spooler queues freed, the
// port open and the printer identified, as Check Communication leaves it.
class PrinterSession {
public:
    // Prints the reason and gives nothing when the printer cannot be used.
    static std::unique_ptr<PrinterSession> Open(CommandContext& context);

    CPrinterPort& Port() { return m_port; }
    PortKind Interface() const { return m_connection.interfaceKind; }
    const IdentifyResult& Identity() const { return m_identity; }
    ~PrinterSession();

private:
    PrinterSession(CommandContext& context, ResolvedConnection connection);
    ResolvedConnection m_connection;
    SpoolerHold m_hold;
    CPrinterPort m_port;
    IdentifyResult m_identity;
};

// A write cut short is told with the counts of the whole command: the port's
// tally is never reset here, so they run from the identification on.
int WriteOutcome(CommandContext& context, const CPrinterPort& port, WriteOperation operation);

} // namespace kalo::cli
