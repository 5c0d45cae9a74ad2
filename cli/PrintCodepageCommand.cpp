#include "PrintCodepageCommand.h"

#include "PrinterSession.h"
#include "StatusCommands.h"

namespace kalo::cli {

const char* PrintCodepageCommand::Description() const
{
    return "Has the printer print its code-page sheet (no check, no reply).\n";
}

int PrintCodepageCommand::Execute(CommandContext& context)
{
    if (!TakeArguments(context))
        return kExitUsage;
    const auto session = PrinterSession::Open(context);
    if (!session)
        return kExitFailed;
    TerminalStatusRun terminal(context, *session);
    terminal.run.exchange.PrintCodepage();
    return WriteOutcome(context, session->Port(), WriteOperation::PrintCodepage);
}

} // namespace kalo::cli
