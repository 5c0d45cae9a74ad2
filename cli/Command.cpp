#include "Command.h"

#include "TerminalOutput.h"

#include <iterator>
#include <sstream>

namespace kalo::cli {

namespace {

std::string Unbracketed(const std::string& operand)
{
    return operand.front() == '[' ? operand.substr(1, operand.size() - 2) : operand;
}

} // namespace

bool CommandContext::ProgressShown() const
{
    return !quiet && ReachesTerminal(err);
}

void Command::PrintHelp(std::ostream& out) const
{
    const std::vector<const OptionInfo*> options = Options();
    out << "Usage: kaloctl " << (NeedsPrinter() ? "[CONNECTION] " : "") << Name()
        << (*Operands() ? " " : "") << Operands() << (options.empty() ? "" : " [OPTIONS]") << "\n\n"
        << Description();
    if (!options.empty()) {
        out << "\nOptions:\n";
        PrintOptions(out, options);
    }
    if (NeedsPrinter())
        out << "\nCONNECTION names the printer (--serial, --tcp, --usb, --target ...): 'kaloctl\n"
               "--help' lists the connection options.\n";
}

bool Command::CheckOperands(CommandContext& context) const
{
    std::istringstream named(Operands());
    std::vector<std::string> wanted{std::istream_iterator<std::string>(named), std::istream_iterator<std::string>()};
    for (size_t i = 0; i < context.args.size(); ++i) {
        if (i >= wanted.size())
            return Refuse(context, "unexpected argument '" + context.args[i] + "'");
        if (context.args[i].empty())
            return Refuse(context, Unbracketed(wanted[i]) + " is empty");
    }
    if (context.args.size() < wanted.size() && wanted[context.args.size()].front() != '[')
        return Refuse(context, wanted[context.args.size()] + " is missing");
    return true;
}

bool Command::Refuse(CommandContext& context, const std::string& error) const
{
    context.err << "kaloctl " << Name() << ": " << error << "\nTry 'kaloctl " << Name() << " --help'.\n";
    return false;
}

} // namespace kalo::cli
