#include "DiffCommand.h"

#include "PrinterSession.h"
#include "StatusCommands.h"
#include "StatusReport.h"
#include "status/ProfileJson.h"

#include <optional>

namespace kalo::cli {

namespace {

const char kPrinter[] = "printer";

struct DiffRequest {
    bool json = false;
};

const OptionTable<DiffRequest>& DiffTable()
{
    static const OptionTable<DiffRequest> table = {
        {{"--json", "", "print {\"same\", \"differences\"} as JSON", OptionValues::None()},
         [](DiffRequest& r, const OptionValue&) { r.json = true; }},
    };
    return table;
}

} // namespace

const char* DiffCommand::Description() const
{
    return "Compares two statuses, each a profile (JSON), a .sts status file, or the word\n"
           "'printer' for the printer on the connection given. Prints each pin that differs\n"
           "with its switch, pin, label and both values, then the settings, power save and\n"
           "entrance time that differ; what either side keeps is no difference.\n"
           "Exit status: 0 the same, 3 different, 1 the printer could not be read,\n"
           "2 usage or a file that is no profile.\n";
}

std::vector<const OptionInfo*> DiffCommand::Options() const
{
    return Infos(DiffTable());
}

int DiffCommand::Execute(CommandContext& context)
{
    DiffRequest request;
    if (!TakeArguments(context, DiffTable(), request))
        return kExitUsage;
    // Both files are read before the printer is, so a bad one costs no exchange.
    std::optional<StatusTarget> sides[2];
    for (size_t i = 0; i < 2; ++i) {
        if (context.args[i] == kPrinter)
            continue;
        Profile profile;
        std::string error;
        if (!ProfileJson::Load(context.args[i], profile, error)) {
            context.err << "kaloctl diff: " << error << '\n';
            return kExitUsage;
        }
        sides[i] = ResolveProfile(profile);
    }
    if (!sides[0] || !sides[1]) {
        const auto session = PrinterSession::Open(context);
        if (!session)
            return kExitFailed;
        TerminalStatusRun terminal(context, *session);
        const StatusRun::Reading reading = terminal.run.ReadPrinter();
        if (!reading.trouble.empty())
            context.err << reading.trouble << '\n';
        if (!reading.whole)
            return kExitFailed;
        const StatusTarget held = terminal.run.Held();
        for (auto& side : sides) {
            if (!side)
                side = held;
        }
    }
    const std::vector<StatusDifference> differences = Differences(*sides[0], *sides[1]);
    if (request.json)
        PrintJson(context.out, Json{{"same", differences.empty()}, {"differences", DifferencesJson(differences)}});
    else
        PrintDifferences(context.out, differences);
    return differences.empty() ? kExitOk : kExitDifferent;
}

} // namespace kalo::cli
