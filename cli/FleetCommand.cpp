#include "FleetCommand.h"

#include "FleetReport.h"
#include "FleetResult.h"
#include "FleetRunner.h"
#include "FleetTargets.h"
#include "TerminalOutput.h"
#include "platform/ChildProcesses.h"
#include "platform/Files.h"

#include <algorithm>
#include <csignal>

namespace kalo::cli {

namespace {

constexpr int64_t kMicrosPerSecond = 1000000;

struct FleetRequest {
    std::string targets;
    int64_t jobs = 0;
    bool json = false;
    std::string profileOut;
    std::string profile;
    bool verify = false;
    bool ifDifferent = false;
    bool dryRun = false;
};

const OptionTable<FleetRequest>& FleetTable()
{
    using Values = OptionValues;
    static const OptionTable<FleetRequest> table = {
        {TargetsFileOption(), [](FleetRequest& r, const OptionValue& v) { r.targets = v.text; }},
        {{"--jobs", "N", "how many printers at a time", Values::Numbers({{1, 64}}), "8"},
         [](FleetRequest& r, const OptionValue& v) { r.jobs = v.number; }},
        {{"--json", "", "one JSON object a line per printer as it finishes, then the summary", Values::None()},
         [](FleetRequest& r, const OptionValue&) { r.json = true; }},
        {{"--profile-out", "DIR", "get-status: write each printer's profile to DIR/NAME.json",
          Values::Text("a folder")},
         [](FleetRequest& r, const OptionValue& v) { r.profileOut = v.text; }},
        {{"--profile", "FILE", "set-status: the profile to write", Values::Text("a profile or .sts file")},
         [](FleetRequest& r, const OptionValue& v) { r.profile = v.text; }},
        {{"--verify", "", "set-status: read the switches back and fail a printer that did not take them",
          Values::None()},
         [](FleetRequest& r, const OptionValue&) { r.verify = true; }},
        {{"--if-different", "", "set-status: write only to printers that differ from the profile", Values::None()},
         [](FleetRequest& r, const OptionValue&) { r.ifDifferent = true; }},
        {{"--dry-run", "", "set-status: say what each printer would change, write nothing", Values::None()},
         [](FleetRequest& r, const OptionValue&) { r.dryRun = true; }},
    };
    return table;
}

// The longest each exchange may take, byte-wise (serial, parallel) and on a
// block link (TCP, USB), from its reads' own time-outs: identification 21 s
// and 28.1 s; identification, the status check and the whole status 75 s and
// 137 s; identification, the check and the write 65 s and 96 s.
// The real-time status: its one second, after the open (a connection 5 s).
struct ExchangeBounds {
    double identify, readStatus, setStatus, liveStatus;
};
constexpr ExchangeBounds kByteWiseBounds{21, 75, 65, 2};
constexpr ExchangeBounds kBlockBounds{28.1, 137, 96, 6};
// Starting the child and its work on a machine whose cores are busy.
constexpr double kMarginSeconds = 10;

double BoundSeconds(FleetTask task, const FleetRequest& request, const ExchangeBounds& bounds)
{
    switch (task) {
    case FleetTask::Identify:
        return bounds.identify;
    case FleetTask::Status:
        return bounds.liveStatus;
    case FleetTask::GetStatus:
    case FleetTask::Diff:
        return bounds.readStatus;
    case FleetTask::SetStatus:
        // The comparing read before the write, and the read after it.
        return bounds.setStatus
            + bounds.readStatus * ((request.verify ? 1 : 0) + (request.ifDifferent || request.dryRun ? 1 : 0));
    }
    return 0;
}

// The fleet's own pace goes to each child whatever the child's KALO_PACE.
void AddPace(std::vector<std::string>& args, Pace pace)
{
    args.insert(args.end(), {"--pace", PaceName(pace)});
}

std::vector<std::string> ChildArgs(FleetTask task, const FleetRequest& request, const Target& target, Pace pace)
{
    std::vector<std::string> args = {"kaloctl", "--target", target.uri};
    switch (task) {
    case FleetTask::Identify:
        args.emplace_back("identify");
        break;
    case FleetTask::Status:
        args.insert(args.end(), {"status", "--json"});
        break;
    case FleetTask::GetStatus:
        args.insert(args.end(), {"get-status", "--profile-out", ProfileFile(request.profileOut, target.name)});
        break;
    case FleetTask::Diff:
        args.insert(args.end(), {"diff", request.profile, "printer", "--json"});
        break;
    case FleetTask::SetStatus:
        args.insert(args.end(), {"set-status", "--profile", request.profile});
        for (const auto& [given, flag] : {std::pair{request.verify, "--verify"}, {request.ifDifferent, "--if-different"},
                                          {request.dryRun, "--dry-run"}}) {
            if (given)
                args.emplace_back(flag);
        }
        args.emplace_back("--json");
        break;
    }
    AddPace(args, pace);
    return args;
}

// Takes the task and, for diff, its profile; what does not fit the task, else empty.
std::string Refusal(FleetRequest& request, const std::vector<std::string>& operands, FleetTask& task)
{
    const auto named = std::find(std::begin(kFleetTasks), std::end(kFleetTasks), operands[0]);
    if (named == std::end(kFleetTasks))
        return "COMMAND is one of identify, get-status, diff, set-status, status, not '" + operands[0] + "'";
    task = FleetTask(named - std::begin(kFleetTasks));
    if (task == FleetTask::Diff) {
        if (operands.size() < 2)
            return "diff needs the PROFILE to compare with";
        request.profile = operands[1];
    } else if (operands.size() > 1) {
        return "unexpected argument '" + operands[1] + "'";
    }
    if (request.targets.empty())
        return "--targets FILE is missing";
    if (task == FleetTask::GetStatus && request.profileOut.empty())
        return "get-status needs --profile-out DIR";
    if (task != FleetTask::GetStatus && !request.profileOut.empty())
        return "--profile-out goes with get-status";
    if (task == FleetTask::SetStatus && request.profile.empty())
        return "set-status needs --profile FILE";
    const bool setOptions = request.verify || request.ifDifferent || request.dryRun;
    if (task != FleetTask::SetStatus && (setOptions || (task != FleetTask::Diff && !request.profile.empty())))
        return "--profile, --verify, --if-different and --dry-run go with set-status";
    if (!request.profile.empty() && !platform::IsReadable(request.profile))
        return "cannot read the profile '" + request.profile + "'";
    return "";
}

// Keeps the one report of a single job.
struct SingleReport final : FleetObserver {
    void Finished(const ChildReport& finished) override { report = finished; }
    ChildReport report;
};

// A profile that does not read is refused once, before any printer, by
// comparing it with itself: the child's words, or empty when it reads or
// the check was interrupted (end says which).
std::string ProfileRefusal(FleetRunner& runner, const std::string& profile, Pace pace, FleetRunEnd& end)
{
    constexpr int64_t kBoundMicros = 10 * kMicrosPerSecond;
    SingleReport single;
    std::vector<std::string> args = {"kaloctl", "diff", profile, profile};
    AddPace(args, pace); // no printer, but a KALO_PACE that names no pace would refuse it
    end = runner.Run({{std::move(args), kBoundMicros}}, 1, single);
    const bool read = single.report.exit.end == platform::ChildEnd::Exited && single.report.exit.code == kExitOk;
    if (read || end.interrupted)
        return "";
    return single.report.err.empty() ? "kaloctl fleet: cannot read the profile '" + profile + "'\n"
                                     : single.report.err;
}

} // namespace

const char* FleetCommand::Description() const
{
    return "Runs COMMAND against every printer of the targets file, N at a time, each in\n"
           "a kaloctl of its own with its own time bound. COMMAND is identify,\n"
           "get-status --profile-out DIR (writes DIR/NAME.json, making DIR but not its\n"
           "parent), diff PROFILE, set-status --profile PROFILE [--verify]\n"
           "[--if-different] [--dry-run], or status (each printer's live state). A\n"
           "targets file with a line that does not fit, a name given twice or one\n"
           "printer named twice (by the addresses its name resolves to) is refused\n"
           "whole; a name that does not resolve fails its own printer. Ctrl+C,\n"
           "whenever it comes, stops starting printers and lets the running ones\n"
           "finish; a second one stops them too (a printer in user-setting mode is\n"
           "taken out of it first). Exit status: 0 every printer succeeded; 3 (diff) a\n"
           "printer differs and none failed; 1 a printer failed (status: could not be\n"
           "read); for status, none failed: 5 a printer cannot print, else 4 one needs\n"
           "attention; 2 usage error; 130 interrupted.\n";
}

std::vector<const OptionInfo*> FleetCommand::Options() const
{
    return Infos(FleetTable());
}

int FleetCommand::Execute(CommandContext& context)
{
    FleetRequest request;
    if (!TakeArguments(context, FleetTable(), request))
        return kExitUsage;
    FleetTask task = FleetTask::Identify;
    if (const std::string refusal = Refusal(request, context.args, task); !refusal.empty()) {
        Refuse(context, refusal);
        return kExitUsage;
    }

    std::optional<FleetTargets> loaded = LoadFleetTargets(context, request.targets, "fleet");
    if (!loaded)
        return kExitUsage;
    const std::vector<Target>& targets = loaded->targets;
    const TargetAddresses& addresses = loaded->addresses;
    std::string error;
    if (task == FleetTask::GetStatus && !platform::MakeFolder(request.profileOut, error)) {
        context.err << "kaloctl fleet: " << error << "\nkaloctl fleet: nothing was run\n";
        return kExitUsage;
    }

    std::vector<FleetJob> jobs;
    std::vector<size_t> jobTargets;
    for (size_t i = 0; i < targets.size(); ++i) {
        if (addresses.unresolved.count(i) > 0)
            continue;
        const Target& target = targets[i];
        const ExchangeBounds& bounds = IsByteWise(target.connection.interfaceKind) ? kByteWiseBounds : kBlockBounds;
        jobs.push_back({ChildArgs(task, request, target, context.pace),
                        int64_t((BoundSeconds(task, request, bounds) + kMarginSeconds) * kMicrosPerSecond)});
        jobTargets.push_back(i);
    }
    std::ostream& out = context.live ? *context.live : context.out;
    const FleetReportForm form{request.json, context.live && ReachesTerminal(*context.live), request.dryRun,
                               request.profileOut};
    FleetReport report(out, task, form, targets, std::move(jobTargets), context.platform.GetClock());
    const auto children = context.platform.NewChildProcesses();
    FleetRunner runner(*children, context.platform.GetClock(), platform::OwnProgram());
    FleetRunEnd end;
    if (!request.profile.empty()) {
        FleetRunEnd check;
        if (const std::string refusal = ProfileRefusal(runner, request.profile, context.pace, check); !refusal.empty()) {
            context.err << refusal << "kaloctl fleet: nothing was run\n";
            return kExitUsage;
        }
        // The runner has cleared it: it stops the fleet here or nowhere.
        if (check.interrupted)
            end = {0, true, check.signal};
    }
    for (const auto& [target, why] : addresses.unresolved)
        report.Failed(target, why);
    if (!end.interrupted)
        end = runner.Run(jobs, size_t(request.jobs), report);
    report.Summary(end);
    if (end.interrupted)
        return InterruptedExitStatus(end.signal == 0 ? SIGINT : end.signal);
    return report.ExitStatus();
}

} // namespace kalo::cli
