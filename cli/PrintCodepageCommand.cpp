#include "PrintCodepageCommand.h"

#include "StatusCommands.h"

namespace kalo::cli {

const char* PrintCodepageCommand::Description() const
{
    return "Has the printer print its code-page sheet (no check, no reply).\n";
}

int PrintCodepageCommand::Run(CommandContext& context, PrinterSession& session)
{
    TerminalStatusRun terminal(context, session);
    terminal.run.exchange.PrintCodepage();
    return WriteOutcome(context, session.Port(), WriteOperation::PrintCodepage);
}

} // namespace kalo::cli
