#include "IdentifyCommand.h"

#include "PrinterCommand.h"
#include "platform/Text.h"

namespace kalo::cli {

const char* IdentifyCommand::Description() const
{
    return "Opens the port, initialises the printer and asks for its identification\n"
           "byte, maker and model. Prints the maker and model of a supported printer\n"
           "and exits 0; otherwise prints why on standard error and exits 1.\n";
}

int IdentifyCommand::Run(CommandContext& context, PrinterSession& session)
{
    const IdentifyResult& identity = session.Identity();
    context.out << MessageFor(identity.outcome).text << '\n'
                << "Maker: " << platform::Printable(identity.maker) << '\n'
                << "Model: " << platform::Printable(identity.model) << '\n';
    return kExitOk;
}

} // namespace kalo::cli
