#include "IdentifyCommand.h"

#include "PrinterSession.h"


namespace kalo::cli {

const char* IdentifyCommand::Help() const
{
    return "Opens the port, initialises the printer and asks for its identification\n"
           "byte, maker and model. Prints the maker and model of a supported printer\n"
           "and exits 0; otherwise prints why on standard error and exits 1.\n";
}

int IdentifyCommand::Execute(CommandContext& context)
{
    if (!context.args.empty()) {
        context.err << "kaloctl identify: unexpected argument '" << context.args.front() << "'\n";
        return kExitUsage;
    }
    const auto session = PrinterSession::Open(context);
    if (!session)
        return kExitFailed;
    const IdentifyResult& identity = session->Identity();
    context.out << MessageFor(identity.outcome).text << '\n'
                << "Maker: " << identity.maker << '\n'
                << "Model: " << identity.model << '\n';
    return kExitOk;
}

} // namespace kalo::cli
