#include "IdentifyCommand.h"

#include "PrinterCommand.h"
#include "StatusReport.h"
#include "platform/Text.h"

namespace kalo::cli {

namespace {

const OptionTable<bool>& Table()
{
    static const OptionTable<bool> table = {
        {{"--json", "", "print {\"message\", \"maker\", \"model\"} as JSON", OptionValues::None()},
         [](bool& json, const OptionValue&) { json = true; }},
    };
    return table;
}

} // namespace

const char* IdentifyCommand::Description() const
{
    return "Opens the port, initialises the printer and asks for its identification\n"
           "byte, maker and model. Prints the maker and model of a supported printer\n"
           "and exits 0; otherwise prints why on standard error and exits 1.\n";
}

std::vector<const OptionInfo*> IdentifyCommand::Options() const
{
    return Infos(Table());
}

int IdentifyCommand::Prepare(CommandContext& context)
{
    m_json = false;
    return TakeArguments(context, Table(), m_json) ? kOpenPrinter : kExitUsage;
}

int IdentifyCommand::Run(CommandContext& context, PrinterSession& session)
{
    const IdentifyResult& identity = session.Identity();
    if (m_json) {
        PrintJson(context.out, Json{{"message", MessageFor(identity.outcome).text},
                                    {"maker", identity.maker},
                                    {"model", identity.model}});
        return kExitOk;
    }
    context.out << MessageFor(identity.outcome).text << '\n'
                << "Maker: " << platform::Printable(identity.maker) << '\n'
                << "Model: " << platform::Printable(identity.model) << '\n';
    return kExitOk;
}

} // namespace kalo::cli
