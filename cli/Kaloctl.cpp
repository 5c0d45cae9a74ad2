#include "Kaloctl.h"

#include "DiffCommand.h"
#include "EditorCommands.h"
#include "FleetCommand.h"
#include "FontCommand.h"
#include "IdentifyCommand.h"
#include "KaloVersion.h"
#include "PaceOption.h"
#include "ListSerialCommand.h"
#include "ListUsbCommand.h"
#include "PrintCodepageCommand.h"
#include "RealTimeStatusCommand.h"
#include "SelfTestCommand.h"
#include "StatusCommands.h"
#include "TraceOption.h"
#include "TraceViewCommand.h"
#include "WatchCommand.h"
#include "cli/options/Completion.h"
#include "cli/options/Nearest.h"
#include "platform/Interruption.h"
#include "platform/Text.h"
#include "port/UsbPrinterSearch.h"
#include "platform/TracingPlatform.h"

#include <algorithm>
#include <charconv>
#include <iostream>
#include <sstream>

namespace kalo::cli {

Kaloctl::Kaloctl()
{
    m_commands.push_back(std::make_unique<IdentifyCommand>());
    m_commands.push_back(std::make_unique<RealTimeStatusCommand>());
    m_commands.push_back(std::make_unique<GetStatusCommand>());
    m_commands.push_back(std::make_unique<SetStatusCommand>());
    m_commands.push_back(std::make_unique<PrintStatusCommand>());
    m_commands.push_back(std::make_unique<PrintCodepageCommand>());
    m_commands.push_back(std::make_unique<SelfTestCommand>());
    m_commands.push_back(std::make_unique<DownloadFontCommand>());
    m_commands.push_back(std::make_unique<ShowStsCommand>());
    m_commands.push_back(std::make_unique<DiffCommand>());
    m_commands.push_back(std::make_unique<ListUsbCommand>());
    m_commands.push_back(std::make_unique<ListSerialCommand>());
    m_commands.push_back(std::make_unique<SendCommand>());
    m_commands.push_back(std::make_unique<TestPrintCommand>());
    m_commands.push_back(std::make_unique<HexToBinCommand>());
    m_commands.push_back(std::make_unique<BinToHexCommand>());
    m_commands.push_back(std::make_unique<TraceViewCommand>());
    m_commands.push_back(std::make_unique<FleetCommand>());
    m_commands.push_back(std::make_unique<WatchCommand>());
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
    out << "\nOptions:\n"
           "  --help, -h                this text; after a command, that command's help\n"
           "  --version                 the program's version\n"
           "  --quiet, -q               only errors and the output asked for: no progress\n"
           "                            and no list of the USB devices tried\n\n";
    PrintConnectionOptions(out);
    out << '\n';
    PrintTraceOptions(out);
    out << '\n';
    PrintPaceOptions(out);
    out << "\nThe connection options, --trace and --pace stand before or after the command.\nAn "
           "option's value is the word after it, whatever it looks like, or follows '='\n"
           "(--profile=FILE).\n"
           "\n'kaloctl COMMAND --help' tells more about a command.\n"
        << "\nExit status:\n";
    for (const ExitStatusMeaning& status : kExitStatuses)
        PrintDefinition(out, status.codes, status.meaning);
}

// Bash completion asks with "--complete CWORD WORD..." (the words of the
// line as bash splits them, CWORD the one completed) and takes one candidate
// a line. Not in --help: it is for the completion script alone.
int Kaloctl::Complete(const std::vector<std::string>& args, std::ostream& out, platform::Platform& platform) const
{
    CompletionSources sources;
    sources.anywhere = ConnectionOptionInfos();
    for (const std::vector<const OptionInfo*>& scope : {TraceOptionInfos(), PaceOptionInfos()})
        sources.anywhere.insert(sources.anywhere.end(), scope.begin(), scope.end());
    for (const auto& command : m_commands)
        sources.commands.push_back({command->Name(), command->Options()});
    sources.globalOptions = {"--help", "--version", "--quiet"};
    sources.usbDevices = [&platform] {
        std::ostringstream diagnostics;
        std::vector<std::string> devices;
        for (const UsbPrinterEntry& printer : FindUsbPrinters(platform, diagnostics).printers) {
            devices.push_back(printer.text);
            devices.push_back(printer.device.node);
            if (!printer.device.serial.empty())
                devices.push_back(printer.device.serial);
        }
        return devices;
    };
    auto paths = [](const std::vector<platform::DevicePathInfo>& devices) {
        std::vector<std::string> found;
        for (const platform::DevicePathInfo& device : devices)
            found.push_back(device.path);
        return found;
    };
    sources.serialDevices = [&platform, paths] { return paths(platform.ListSerialDevices()); };
    sources.parallelDevices = [&platform, paths] { return paths(platform.ListParallelDevices()); };
    size_t current = 0;
    const std::string& number = args.size() >= 2 ? args[1] : std::string();
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), current);
    if (number.empty() || error != std::errc() || end != number.data() + number.size())
        return kExitUsage;
    const std::vector<std::string> words(args.begin() + 2, args.end());
    for (const std::string& candidate : CompletionCandidates(sources, words, current))
        out << candidate << '\n';
    return kExitOk;
}

namespace {

// "--name" or "-x": a word that means an option. "-" alone is an operand
// (standard input), as is a negative number.
bool IsOptionWord(const std::string& word)
{
    return word.size() > 1 && word[0] == '-' && !(word[1] >= '0' && word[1] <= '9');
}

} // namespace

// The command line read once, in order: each option takes its value with
// it wherever it stands, so a value is never read as an option
// (`set-status --profile --trace` names a profile file called "--trace").
// kaloctl's own options may stand before and after the command.
bool Kaloctl::Read(const std::vector<std::string>& args, CommandLine& line, std::string& error) const
{
    const std::vector<const OptionInfo*> trace = TraceOptionInfos();
    const std::vector<const OptionInfo*> pace = PaceOptionInfos();
    const std::vector<const OptionInfo*> connection = ConnectionOptionInfos();
    std::vector<const OptionInfo*> own;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        std::vector<std::string>* into = &line.commandArgs;
        const OptionInfo* option = nullptr;
        if (word == "--help" || word == "-h") {
            line.help = true;
            continue;
        } else if (word == "--quiet" || word == "-q") {
            line.quiet = true;
            continue;
        } else if (!line.command && word == "--version") {
            line.version = true;
            continue;
        } else if (!line.command && !platform::StartsWith(word, "-")) {
            line.command = Find(word);
            if (!line.command) {
                std::vector<std::string> names;
                for (const auto& command : m_commands)
                    names.push_back(command->Name());
                error = "kaloctl: unknown command '" + word + "'" + DidYouMean(word, names);
                return false;
            }
            own = line.command->Options();
            continue;
        } else if ((option = FindOption(trace, word))) {
            into = &line.trace;
        } else if ((option = FindOption(pace, word))) {
            into = &line.pace;
        } else if ((option = FindOption(connection, word))) {
            into = &line.connection;
        } else if (!(option = FindOption(own, word)) && IsOptionWord(word)) {
            // Named here, with the options of every scope to choose from:
            // read on, its value would pass for a command or an operand.
            std::vector<std::string> names = {"--help", "--version", "--quiet"};
            for (const OptionInfo* known : own)
                names.push_back(known->name);
            for (const OptionInfo* known : trace)
                names.push_back(known->name);
            for (const OptionInfo* known : pace)
                names.push_back(known->name);
            for (const OptionInfo* known : connection)
                names.push_back(known->name);
            const std::string name = ReadOptionWord(word).name;
            error = std::string("kaloctl") + (line.command ? std::string(" ") + line.command->Name() : "")
                + ": unknown option '" + name + "'" + DidYouMean(name, names);
            return false;
        }
        into->push_back(word);
        const bool valueFollows = option && option->values.GetKind() != OptionValues::Kind::None
            && !ReadOptionWord(word).hasValue && i + 1 < args.size();
        if (valueFollows)
            into->push_back(args[++i]);
    }
    return true;
}

int Kaloctl::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 platform::Platform& platform, platform::Spooler& spooler, const CRegistryKey& registry,
                 std::istream* in, std::ostream* live)
{
    if (!args.empty() && args[0] == "--complete")
        return Complete(args, out, platform);
    CommandLine line;
    ConnectionOptions connection;
    bool printerNamed = false;
    TraceOptions traceOptions;
    PaceOptions paceOptions;
    std::string error;
    if (!Read(args, line, error)) {
        err << error << "\nTry 'kaloctl " << (line.command ? std::string(line.command->Name()) + " " : "") << "--help'.\n";
        return kExitUsage;
    }
    if (!ExtractTraceOptions(line.trace, traceOptions, error) || !ExtractPaceOptions(line.pace, paceOptions, error)
        || !ExtractConnectionOptions(line.connection, connection, error, &printerNamed)) {
        err << "kaloctl: " << error << "\nTry 'kaloctl --help'.\n";
        return kExitUsage;
    }
    Command* command = line.command;
    if (!command) {
        if (line.help) {
            PrintHelp(out);
            return kExitOk;
        }
        if (line.version) {
            out << VersionLine("kaloctl");
            return kExitOk;
        }
        err << "kaloctl: no command given\nTry 'kaloctl --help'.\n";
        return kExitUsage;
    }
    if (line.help) {
        command->PrintHelp(out);
        return kExitOk;
    }
    // Read once a command is to run, so help stays within reach of a
    // KALO_PACE that names no pace.
    Pace pace = Pace::Fixed;
    if (!ChoosePace(paceOptions, pace, error)) {
        err << "kaloctl: " << error << "\nTry 'kaloctl --help'.\n";
        return kExitUsage;
    }
    // A command that uses no printer has nothing to trace, and `--trace t.log trace-view t.log`
    // must not empty the file it is about to read.
    // A trace line lost stops the command the way Ctrl+C does: the exchange
    // under way runs out, a printer in user-setting mode is taken out of it.
    platform::ProgramTrace trace;
    if (!traceOptions.file.empty() && command->Traced()
        && !trace.Start(traceOptions.file, platform, err, error, [] { platform::Interrupt(0); })) {
        err << "kaloctl: " << error << '\n';
        return kExitUsage;
    }
    CommandContext context{std::move(line.commandArgs), connection, out, err, trace.Use(platform), spooler,
                           registry, in ? in : &std::cin, live, printerNamed, line.quiet, pace};
    const int status = command->Execute(context);
    if (!trace.Lost())
        return status;
    if (platform::InterruptingSignal() == 0)
        platform::ClearInterruption(); // the trace's stop, not the user's
    err << "kaloctl: " << trace.LostReason() << '\n';
    return kExitUsage;
}

} // namespace kalo::cli
