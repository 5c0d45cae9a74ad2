#include "PrinterCommand.h"

namespace kalo::cli {

int PrinterCommand::Prepare(CommandContext& context)
{
    return TakeArguments(context) ? kOpenPrinter : kExitUsage;
}

int PrinterCommand::Execute(CommandContext& context)
{
    if (const int status = Prepare(context); status != kOpenPrinter)
        return status;
    const auto session = PrinterSession::Open(context);
    if (!session)
        return kExitFailed;
    return Run(context, *session);
}

} // namespace kalo::cli
