#include "DiffCommand.h"

#include "PrinterCommand.h"
#include "StatusCommands.h"
#include "StatusReport.h"
#include "status/ProfileJson.h"


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

int DiffCommand::Prepare(CommandContext& context)
{
    DiffRequest request;
    if (!TakeArguments(context, DiffTable(), request))
        return kExitUsage;
    m_json = request.json;
    // Both files are read before the printer is, so a bad one costs no exchange.
    for (size_t i = 0; i < 2; ++i) {
        m_sides[i].reset();
        if (context.args[i] == kPrinter)
            continue;
        Profile profile;
        std::string error;
        if (!ProfileJson::Load(context.args[i], profile, error)) {
            context.err << "kaloctl diff: " << error << '\n';
            return kExitUsage;
        }
        m_sides[i] = ResolveProfile(profile);
    }
    return m_sides[0] && m_sides[1] ? Compare(context) : kOpenPrinter;
}

int DiffCommand::Run(CommandContext& context, PrinterSession& session)
{
    TerminalStatusRun terminal(context, session);
    const StatusRun::Reading reading = terminal.run.ReadPrinter();
    if (!reading.trouble.empty())
        context.err << reading.trouble << '\n';
    if (!reading.whole)
        return kExitFailed;
    const StatusTarget held = terminal.run.Held();
    for (auto& side : m_sides) {
        if (!side)
            side = held;
    }
    return Compare(context);
}

int DiffCommand::Compare(CommandContext& context) const
{
    const std::vector<StatusDifference> differences = Differences(*m_sides[0], *m_sides[1]);
    if (m_json)
        PrintJson(context.out, Json{{"same", differences.empty()}, {"differences", DifferencesJson(differences)}});
    else
        PrintDifferences(context.out, differences);
    return differences.empty() ? kExitOk : kExitDifferent;
}

} // namespace kalo::cli
