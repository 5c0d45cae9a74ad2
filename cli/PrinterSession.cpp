#include "PrinterSession.h"

#include "platform/ConsoleMessageSink.h"
#include "platform/Interruption.h"

namespace kalo::cli {

PrinterSession::PrinterSession(CommandContext& context, ResolvedConnection connection)
    : m_connection(std::move(connection))
    , m_hold(context.spooler, context.platform.Ports(), m_connection.portName)
    , m_port(context.platform)
{
}

PrinterSession::~PrinterSession()
{
    m_port.Close();
}

std::unique_ptr<PrinterSession> PrinterSession::Open(CommandContext& context)
{
    ResolvedConnection connection =
        ResolveConnection(context.connection, context.registry, context.platform, context.err);
    if (!connection.refusal.empty()) {
        context.err << platform::ConsoleMessageSink::PlainLines(connection.refusal) << '\n';
        return nullptr;
    }
    std::unique_ptr<PrinterSession> session(new PrinterSession(context, std::move(connection)));
    session->m_identity = ConnectPrinter(session->m_port, session->m_connection.settings,
                                         session->m_connection.interfaceKind, context.platform.GetClock());
    const IdentifyResult& identity = session->m_identity;
    if (!identity.Connected() && platform::Interrupted())
        return nullptr; // not the printer's fault: the caller says what happened
    if (!identity.Connected()) {
        context.err << platform::ConsoleMessageSink::PlainLines(MessageFor(identity.outcome).text) << '\n';
        const std::string reason = platform::DescribeFailure(identity.failure, session->m_connection.settings.portName);
        if (!reason.empty())
            context.err << reason << '\n';
        return nullptr;
    }
    return session;
}

int WriteOutcome(CommandContext& context, const CPrinterPort& port, WriteOperation operation)
{
    if (WentOutWhole(port))
        return kExitOk;
    context.err << StoppedWriteMessage(operation, port.Tally()) << '\n';
    if (const std::string reason = port.FailureText(); !reason.empty())
        context.err << reason << '\n';
    return kExitFailed;
}

} // namespace kalo::cli
