#include "SelfTestCommand.h"

#include "connect/SelfTest.h"

namespace kalo::cli {

const char* SelfTestCommand::Description() const
{
    return "Has the printer print its test page and waits the 4.3 s it takes.\n";
}

int SelfTestCommand::Run(CommandContext& context, PrinterSession& session)
{
    RunSelfTest(session.Port(), context.platform.GetClock());
    return WriteOutcome(context, session.Port(), WriteOperation::SelfTest);
}

} // namespace kalo::cli
