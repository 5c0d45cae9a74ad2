#include "PrinterSession.h"

#include "platform/Failure.h"
#include "platform/Interruption.h"

namespace kalo {

PrinterSession::PrinterSession(const SessionRequest& request, ResolvedConnection connection, bool holdSpooler)
    : m_connection(std::move(connection))
    , m_port(request.platform)
{
    if (holdSpooler)
        m_hold.emplace(request.spooler, request.platform.Ports(), m_connection.portName);
}

std::optional<ResolvedConnection> PrinterSession::Resolve(const SessionRequest& request, SessionOpening& opening)
{
    ResolvedConnection connection =
        ResolveConnection(request.connection, request.registry, request.platform, request.diagnostics);
    if (connection.refusal.empty())
        return connection;
    opening.failure = SessionFailure::Refused;
    opening.message = connection.refusal;
    return std::nullopt;
}

PrinterSession::~PrinterSession()
{
    m_port.Close();
}

SessionOpening PrinterSession::Open(const SessionRequest& request)
{
    SessionOpening opening;
    std::optional<ResolvedConnection> connection = Resolve(request, opening);
    if (!connection)
        return opening;
    std::unique_ptr<PrinterSession> session(new PrinterSession(request, std::move(*connection), true));
    session->m_port.SetPace(request.pace);
    session->m_identity = ConnectPrinter(session->m_port, session->m_connection.settings,
                                         session->m_connection.interfaceKind, request.platform.GetClock());
    const IdentifyResult& identity = session->m_identity;
    if (!identity.Connected() && platform::Interrupted()) {
        opening.failure = SessionFailure::Interrupted;
        return opening;
    }
    if (!identity.Connected()) {
        opening.failure = SessionFailure::NotIdentified;
        opening.message = MessageFor(identity.outcome).text;
        opening.detail = platform::DescribeFailure(identity.failure, session->m_connection.settings.portName);
        return opening;
    }
    opening.session = std::move(session);
    return opening;
}

SessionOpening PrinterSession::OpenUnidentified(const SessionRequest& request)
{
    SessionOpening opening;
    std::optional<ResolvedConnection> connection = Resolve(request, opening);
    if (!connection)
        return opening;
    const std::string queue = QueuePrintingOn(request.spooler, request.platform.Ports(), connection->portName);
    if (!queue.empty()) {
        opening.failure = SessionFailure::Busy;
        opening.message = "The print queue '" + queue + "' is printing a job on " + connection->portName
            + ": the port was not opened.";
        return opening;
    }
    std::unique_ptr<PrinterSession> session(new PrinterSession(request, std::move(*connection), false));
    CPrinterPort& port = session->m_port;
    port.SetPace(request.pace);
    const bool configured = port.Configure(session->m_connection.settings) == 1;
    if (!configured || port.OpenAnyState() != 1) {
        opening.failure = platform::Interrupted() ? SessionFailure::Interrupted : SessionFailure::NotIdentified;
        if (opening.failure == SessionFailure::NotIdentified) {
            opening.message = MessageFor(configured ? ConnectOutcome::OpenFailed : ConnectOutcome::ConfigureFailed).text;
            opening.detail = platform::DescribeFailure(port.LastFailure(), session->m_connection.settings.portName);
        }
        return opening;
    }
    opening.session = std::move(session);
    return opening;
}

} // namespace kalo
