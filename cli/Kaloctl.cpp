#include "Kaloctl.h"

#include "DiffCommand.h"
#include "EditorCommands.h"
#include "FleetCommand.h"
#include "FontCommand.h"
#include "IdentifyCommand.h"
#include "ListUsbCommand.h"
#include "StatusCommands.h"
#include "platform/Text.h"

#include <algorithm>
#include <iostream>

namespace kalo::cli {

Kaloctl::Kaloctl()
{
    m_commands.push_back(std::make_unique<IdentifyCommand>());
    m_commands.push_back(std::make_unique<GetStatusCommand>());
    m_commands.push_back(std::make_unique<SetStatusCommand>());
    m_commands.push_back(std::make_unique<PrintStatusCommand>());
    m_commands.push_back(std::make_unique<PrintCodepageCommand>());
    m_commands.push_back(std::make_unique<SelfTestCommand>());
    m_commands.push_back(std::make_unique<DownloadFontCommand>());
    m_commands.push_back(std::make_unique<ShowStsCommand>());
    m_commands.push_back(std::make_unique<DiffCommand>());
    m_commands.push_back(std::make_unique<ListUsbCommand>());
    m_commands.push_back(std::make_unique<SendCommand>());
    m_commands.push_back(std::make_unique<TestPrintCommand>());
    m_commands.push_back(std::make_unique<HexToBinCommand>());
    m_commands.push_back(std::make_unique<BinToHexCommand>());
    m_commands.push_back(std::make_unique<FleetCommand>());
}

Command* Kaloctl::Find(const std::string& name) const
{
    for (const auto& command : m_commands) {
        if (name == command->Name())
            return command.get();
    }
    return nullptr;
}

void Kaloctl::PrintHelp(std::ostream& out) const
{
    out << "Usage: kaloctl [CONNECTION] COMMAND [OPTIONS]\n\n"
           "Configures KEMTRAN TLR-740plusII, TLR-742plusII and TLR-740II receipt printers.\n\n"
           "Commands:\n";
    for (const auto& command : m_commands)
        out << "  " << command->Name() << std::string(16 - std::min<size_t>(15, std::string(command->Name()).size()), ' ')
            << command->Summary() << '\n';
    out << '\n';
    PrintConnectionOptions(out);
    out << "\n'kaloctl COMMAND --help' tells more about a command.\n"
        << "Exit status: 0 done; 1 the printer refused, the port failed, a reply was missing\n"
           "or a write was cut short; 2 usage error; 130, 143, 129 interrupted by Ctrl+C,\n"
           "SIGTERM, SIGHUP (the command stops within moments, a printer in user-setting\n"
           "mode is taken out of it first, and nothing is printed on standard output).\n";
}

int Kaloctl::Run(std::vector<std::string> args, std::ostream& out, std::ostream& err, platform::Platform& platform,
                 platform::Spooler& spooler, const CRegistryKey& registry, std::istream* in, std::ostream* live)
{
    const bool wantsHelp = std::find(args.begin(), args.end(), "--help") != args.end()
        || std::find(args.begin(), args.end(), "-h") != args.end();
    CommandContext context{{}, {}, out, err, platform, spooler, registry, in ? in : &std::cin, live};
    std::string error;
    if (!ExtractConnectionOptions(args, context.connection, error)) {
        err << "kaloctl: " << error << "\nTry 'kaloctl --help'.\n";
        return kExitUsage;
    }
    Command* command = nullptr;
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (!platform::StartsWith(*it, "-")) {
            command = Find(*it);
            if (!command) {
                err << "kaloctl: unknown command '" << *it << "'\nTry 'kaloctl --help'.\n";
                return kExitUsage;
            }
            args.erase(it);
            break;
        }
    }
    if (!command) {
        if (wantsHelp) {
            PrintHelp(out);
            return kExitOk;
        }
        err << "kaloctl: no command given\nTry 'kaloctl --help'.\n";
        return kExitUsage;
    }
    if (wantsHelp) {
        command->PrintHelp(out);
        return kExitOk;
    }
    context.args = std::move(args);
    return command->Execute(context);
}

} // namespace kalo::cli
