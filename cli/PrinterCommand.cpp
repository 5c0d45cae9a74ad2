#include "PrinterCommand.h"

#include "platform/ConsoleMessageSink.h"

namespace kalo::cli {

int PrinterCommand::Prepare(CommandContext& context)
{
    return TakeArguments(context) ? kOpenPrinter : kExitUsage;
}

int PrinterCommand::Execute(CommandContext& context)
{
    if (const int status = Prepare(context); status != kOpenPrinter)
        return status;
    const auto session = OpenPrinterSession(context);
    if (!session)
        return kExitFailed;
    return Run(context, *session);
}

std::unique_ptr<PrinterSession> OpenPrinterSession(CommandContext& context)
{
    SessionOpening opening = PrinterSession::Open(
        {context.connection, context.platform, context.spooler, context.registry, context.err});
    if (!opening.message.empty())
        context.err << platform::ConsoleMessageSink::PlainLines(opening.message) << '\n';
    if (!opening.detail.empty())
        context.err << opening.detail << '\n';
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
