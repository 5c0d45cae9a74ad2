#include "PrinterCommand.h"

#include "ConnectionOptions.h"
#include "connect/CRegistryKey.h"
#include "platform/ConsoleMessageSink.h"

#include <sstream>

namespace kalo::cli {

int PrinterCommand::Prepare(CommandContext& context)
{
    return TakeArguments(context) ? kOpenPrinter : kExitUsage;
}

int PrinterCommand::Execute(CommandContext& context)
{
    if (const int status = Prepare(context); status != kOpenPrinter)
        return status;
    if (!PrinterNamed(context, Name()))
        return kExitUsage;
    const auto session = OpenPrinterSession(context);
    if (!session)
        return kExitFailed;
    return Run(context, *session);
}

bool PrinterNamed(CommandContext& context, const char* command)
{
    // No printer is guessed: a command without one, or with a name nothing
    // knows, would otherwise write to whatever sits on the first serial port.
    if (!context.printerNamed) {
        context.err << "kaloctl: " << command << " needs a printer: name it with one of "
                    << Alternatives(ConnectionOptionInfos()) << "\nTry 'kaloctl --help'.\n";
        return false;
    }
    if (const std::string refusal = PathKindRefusal(context.connection, context.platform); !refusal.empty()) {
        context.err << "kaloctl: " << refusal << '\n';
        return false;
    }
    if (context.connection.printer.empty())
        return true;
    const std::string refusal = UnknownPrinterRefusal(context.connection.printer, context.registry, RegistryFilePath());
    if (!refusal.empty())
        context.err << "kaloctl: " << refusal << '\n';
    return refusal.empty();
}

std::unique_ptr<PrinterSession> OpenPrinterSession(CommandContext& context, bool identify, SessionFailure* failure)
{
    std::ostringstream unshown;
    const SessionRequest request{context.connection, context.platform, context.spooler,
                                 context.registry,   context.quiet ? unshown : context.err, context.pace};
    SessionOpening opening = identify ? PrinterSession::Open(request) : PrinterSession::OpenUnidentified(request);
    if (!opening.message.empty())
        context.err << platform::ConsoleMessageSink::PlainLines(opening.message) << '\n';
    if (!opening.detail.empty())
        context.err << opening.detail << '\n';
    if (failure)
        *failure = opening.failure;
    return std::move(opening.session);
}

int WriteOutcome(CommandContext& context, const CPrinterPort& port, WriteOperation operation)
{
    if (WentOutWhole(port))
        return kExitOk;
    context.err << StoppedWriteMessage(operation, port.Tally(), RepeatBy::Command) << '\n';
    if (const std::string reason = port.FailureText(); !reason.empty())
        context.err << reason << '\n';
    return kExitFailed;
}

} // namespace kalo::cli
