#include "PrinterSession.h"

#include "platform/Failure.h"
#include "platform/Interruption.h"

namespace kalo {

PrinterSession::PrinterSession(const SessionRequest& request, ResolvedConnection connection)
    : m_connection(std::move(connection))
    , m_hold(request.spooler, request.platform.Ports(), m_connection.portName)
    , m_port(request.platform)
{
}

PrinterSession::~PrinterSession()
{
    m_port.Close();
}

SessionOpening PrinterSession::Open(const SessionRequest& request)
{
    SessionOpening opening;
    ResolvedConnection connection =
        ResolveConnection(request.connection, request.registry, request.platform, request.diagnostics);
    if (!connection.refusal.empty()) {
        opening.failure = SessionFailure::Refused;
        opening.message = connection.refusal;
        return opening;
    }
    std::unique_ptr<PrinterSession> session(new PrinterSession(request, std::move(connection)));
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

} // namespace kalo
