#include "FleetCommand.h"

#include "FleetResult.h"
#include "FleetRunner.h"
#include "connect/TargetsFile.h"
#include "platform/ChildProcesses.h"
#include "platform/Files.h"
#include "platform/Terminal.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <csignal>
#include <iomanip>
#include <iostream>
#include <map>

namespace kalo::cli {

namespace {

constexpr const char* kTasks[] = {"identify", "get-status", "diff", "set-status"};
constexpr size_t kMaxTargetsFileBytes = 16 * 1024 * 1024;
constexpr int64_t kMicrosPerSecond = 1000000;
// The longest the names of the targets file may take to resolve, all of
// them together: a name server that does not answer is asked twice, 5 s each.
constexpr int64_t kResolveMicros = 10 * kMicrosPerSecond;

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
        {{"--targets", "FILE", "the printers: one \"NAME URI\" a line, '#' comments", Values::Text("a file name")},
         [](FleetRequest& r, const OptionValue& v) { r.targets = v.text; }},
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
struct ExchangeBounds {
    double identify, readStatus, setStatus;
};
constexpr ExchangeBounds kByteWiseBounds{21, 75, 65};
constexpr ExchangeBounds kBlockBounds{28.1, 137, 96};
// Starting the child and its work on a machine whose cores are busy.
constexpr double kMarginSeconds = 10;

double BoundSeconds(FleetTask task, const FleetRequest& request, const ExchangeBounds& bounds)
{
    switch (task) {
    case FleetTask::Identify:
        return bounds.identify;
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

// DIR/NAME.json, however many slashes end DIR.
std::string ProfileFile(const FleetRequest& request, const Target& target)
{
    std::string folder = request.profileOut;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder + (folder == "/" ? "" : "/") + target.name + ".json";
}

std::vector<std::string> ChildArgs(FleetTask task, const FleetRequest& request, const Target& target)
{
    std::vector<std::string> args = {"kaloctl", "--target", target.uri};
    switch (task) {
    case FleetTask::Identify:
        args.emplace_back("identify");
        break;
    case FleetTask::GetStatus:
        args.insert(args.end(), {"get-status", "--profile-out", ProfileFile(request, target)});
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
    return args;
}

double Rounded(double seconds)
{
    return std::round(seconds * 100) / 100;
}

// What the summary counts.
struct Tally {
    std::map<TargetOutcome, size_t> outcomes;
    size_t changed = 0;
    size_t finished = 0;
};

// The outcome of each printer as it finishes, and the summary: JSON lines,
// or live lines on a terminal and a table at the end.
class FleetReport final : public FleetObserver {
public:
    // jobTargets: the target of each job, by its index in targets.
    FleetReport(std::ostream& out, FleetTask task, const FleetRequest& request, const std::vector<Target>& targets,
                std::vector<size_t> jobTargets, bool live, platform::Clock& clock)
        : m_out(out), m_task(task), m_request(request), m_targets(targets), m_jobTargets(std::move(jobTargets)),
          m_json(request.json), m_live(live), m_changedWord(request.dryRun ? "would change" : "changed"),
          m_clock(clock), m_start(clock.NowMicros())
    {
    }

    void Started(size_t job) override { m_running[job] = {kTasks[int(m_task)], m_clock.NowMicros()}; }

    void Step(size_t job, const std::string& line) override { m_running[job].step = line; }

    void Finished(const ChildReport& report) override
    {
        m_running.erase(report.job);
        const size_t target = m_jobTargets[report.job];
        Add(target, InterpretChild(m_task, report, ProfileFile(m_request, m_targets[target])));
    }

    // A printer that is not run, and why.
    void Failed(size_t target, const std::string& why)
    {
        TargetResult result;
        result.exit = -1;
        result.message = why;
        Add(target, std::move(result));
    }

    void Tick() override
    {
        if (!m_live || m_json)
            return;
        const int64_t now = m_clock.NowMicros();
        if (now - m_drawnAt < kRedrawMicros)
            return;
        m_drawnAt = now;
        Erase();
        constexpr size_t kShown = 20;
        size_t shown = 0;
        for (const auto& [job, running] : m_running) {
            if (shown++ == kShown)
                break;
            m_out << "  " << std::left << std::setw(20) << m_targets[m_jobTargets[job]].name << ' ' << std::right
                  << std::setw(5) << (now - running.since) / kMicrosPerSecond << " s  " << running.step.substr(0, 60)
                  << '\n';
        }
        m_out << m_tally.finished << " of " << m_targets.size() << " finished, " << m_running.size() << " running"
              << (m_running.size() > kShown ? " (" + std::to_string(kShown) + " shown)" : "") << '\n'
              << std::flush;
        m_drawnLines = std::min(m_running.size(), kShown) + 1;
    }

    void Summary(const FleetRunEnd& end)
    {
        const double seconds = double(m_clock.NowMicros() - m_start) / kMicrosPerSecond;
        const size_t notStarted = m_jobTargets.size() - end.started;
        const auto count = [this](TargetOutcome outcome) {
            const auto found = m_tally.outcomes.find(outcome);
            return found == m_tally.outcomes.end() ? size_t(0) : found->second;
        };
        if (m_json) {
            nlohmann::ordered_json summary = {{"targets", m_targets.size()}, {"finished", m_tally.finished},
                                      {"changed", m_tally.changed}, {"notStarted", notStarted},
                                      {"interrupted", end.interrupted}, {"seconds", Rounded(seconds)}};
            for (const TargetOutcome outcome : {TargetOutcome::Ok, TargetOutcome::Same, TargetOutcome::Different,
                                                TargetOutcome::Failed, TargetOutcome::TimedOut, TargetOutcome::Died,
                                                TargetOutcome::Interrupted})
                summary["outcomes"][OutcomeText(outcome)] = count(outcome);
            // The most memory the fleet and its largest child held, resident.
            summary["peakKiB"] = {{"fleet", platform::OwnPeakKiB()}, {"child", m_largestChildKiB}};
            m_out << nlohmann::ordered_json{{"summary", summary}}.dump() << '\n' << std::flush;
            return;
        }
        Erase();
        PrintTable();
        m_out << m_tally.finished << " of " << m_targets.size() << " printers in " << std::fixed
              << std::setprecision(1) << seconds << " s:";
        const char* separator = " ";
        for (const auto& [outcome, n] : m_tally.outcomes) {
            m_out << separator << n << ' ' << OutcomeText(outcome);
            separator = ", ";
        }
        if (m_task == FleetTask::SetStatus)
            m_out << separator << m_tally.changed << ' ' << m_changedWord;
        m_out << '\n';
        if (end.interrupted)
            m_out << "Interrupted: " << notStarted << " not started.\n";
        m_out << std::flush;
    }

    // 1 when a printer failed; for diff 3 when one differs.
    int ExitStatus() const
    {
        size_t different = 0;
        for (const auto& [outcome, n] : m_tally.outcomes) {
            if (IsFailure(outcome))
                return kExitFailed;
            different += outcome == TargetOutcome::Different ? n : 0;
        }
        return different > 0 ? kExitDifferent : kExitOk;
    }

private:
    static constexpr int64_t kRedrawMicros = 250000;

    struct Running {
        std::string step;
        int64_t since = 0;
    };

    void Add(size_t target, TargetResult result)
    {
        ++m_tally.outcomes[result.outcome];
        m_tally.changed += result.changed ? 1 : 0;
        ++m_tally.finished;
        m_largestChildKiB = std::max(m_largestChildKiB, result.peakKiB);
        if (m_json) {
            const Target& named = m_targets[target];
            nlohmann::ordered_json line = {{"name", named.name},       {"uri", named.uri},
                                   {"outcome", OutcomeText(result.outcome)}, {"exit", result.exit},
                                   {"seconds", Rounded(result.seconds)},     {"changed", result.changed},
                                   {"message", result.message}};
            if (!result.differences.empty())
                line["differences"] = result.differences;
            m_out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n' << std::flush;
        } else {
            m_results.emplace_back(target, std::move(result));
        }
    }

    // The live lines; nothing where there are none.
    void Erase()
    {
        if (!m_live)
            return;
        for (; m_drawnLines > 0; --m_drawnLines)
            m_out << "\x1b[A\x1b[2K";
        m_out << '\r' << std::flush;
    }

    void PrintTable()
    {
        if (m_results.empty())
            return;
        // In the file's order, whatever order they finished in.
        std::sort(m_results.begin(), m_results.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        size_t nameWidth = 4;
        for (const auto& [target, result] : m_results)
            nameWidth = std::max(nameWidth, m_targets[target].name.size());
        std::string changes = m_task == FleetTask::SetStatus ? m_changedWord + " / message" : "differences / message";
        for (char& c : changes)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        m_out << std::left << std::setw(int(nameWidth)) << "NAME" << "  " << std::setw(11) << "OUTCOME"
              << std::right << std::setw(8) << "SECONDS" << "  " << changes << '\n';
        for (const auto& [target, result] : m_results) {
            std::string detail = result.changes;
            if (!result.message.empty())
                detail += (detail.empty() ? "" : "; ") + result.message;
            m_out << std::left << std::setw(int(nameWidth)) << m_targets[target].name << "  " << std::setw(11)
                  << OutcomeText(result.outcome) << std::right << std::setw(8) << std::fixed << std::setprecision(1)
                  << result.seconds << "  " << detail << '\n';
        }
    }

    std::ostream& m_out;
    FleetTask m_task;
    const FleetRequest& m_request;
    const std::vector<Target>& m_targets;
    std::vector<size_t> m_jobTargets;
    bool m_json;
    bool m_live;
    std::string m_changedWord;
    platform::Clock& m_clock;
    int64_t m_start;
    std::map<size_t, Running> m_running;
    std::vector<std::pair<size_t, TargetResult>> m_results;
    Tally m_tally;
    int64_t m_drawnAt = 0;
    size_t m_drawnLines = 0;
    int64_t m_largestChildKiB = 0;
};

// Takes the task and, for diff, its profile; what does not fit the task, else empty.
std::string Refusal(FleetRequest& request, const std::vector<std::string>& operands, FleetTask& task)
{
    const auto named = std::find(std::begin(kTasks), std::end(kTasks), operands[0]);
    if (named == std::end(kTasks))
        return "COMMAND is one of identify, get-status, diff, set-status, not '" + operands[0] + "'";
    task = FleetTask(named - std::begin(kTasks));
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
std::string ProfileRefusal(FleetRunner& runner, const std::string& profile, FleetRunEnd& end)
{
    constexpr int64_t kBoundMicros = 10 * kMicrosPerSecond;
    SingleReport single;
    end = runner.Run({{{"kaloctl", "diff", profile, profile}, kBoundMicros}}, 1, single);
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
           "parent), diff PROFILE, or set-status --profile PROFILE [--verify]\n"
           "[--if-different] [--dry-run]. A targets file with a line that does not fit,\n"
           "a name given twice or one printer named twice (by the addresses its name\n"
           "resolves to) is refused whole; a name that does not resolve fails its own\n"
           "printer. Ctrl+C, whenever it comes, stops starting printers and lets the\n"
           "running ones finish; a second one stops them too (a printer in user-setting\n"
           "mode is taken out of it first). Exit status: 0 every printer succeeded;\n"
           "3 (diff) a printer differs and none failed; 1 a printer failed; 2 usage\n"
           "error; 130 interrupted.\n";
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

    std::string text, error;
    if (!platform::ReadFile(request.targets, kMaxTargetsFileBytes, text, error)) {
        context.err << "kaloctl fleet: " << error << '\n';
        return kExitUsage;
    }
    std::vector<Target> targets;
    std::vector<std::string> errors;
    if (!ReadTargets(text, TargetUriReaderFor(context.platform.Ports()), targets, errors)) {
        for (const std::string& line : errors)
            context.err << "kaloctl fleet: " << request.targets << ": " << line << '\n';
        context.err << "kaloctl fleet: nothing was run\n";
        return kExitUsage;
    }

    const TargetAddresses addresses = ResolveTargets(targets, context.platform.Names(), kResolveMicros);
    if (!addresses.errors.empty()) {
        for (const std::string& line : addresses.errors)
            context.err << "kaloctl fleet: " << request.targets << ": " << line << '\n';
        context.err << "kaloctl fleet: nothing was run\n";
        return kExitUsage;
    }
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
        jobs.push_back({ChildArgs(task, request, target),
                        int64_t((BoundSeconds(task, request, bounds) + kMarginSeconds) * kMicrosPerSecond)});
        jobTargets.push_back(i);
    }
    std::ostream& out = context.live ? *context.live : context.out;
    const bool live = context.live == &std::cout && platform::IsTerminal(platform::StandardStream::Output);
    FleetReport report(out, task, request, targets, std::move(jobTargets), live, context.platform.GetClock());
    const auto children = context.platform.NewChildProcesses();
    FleetRunner runner(*children, context.platform.GetClock(), platform::OwnProgram());
    FleetRunEnd end;
    if (!request.profile.empty()) {
        FleetRunEnd check;
        if (const std::string refusal = ProfileRefusal(runner, request.profile, check); !refusal.empty()) {
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
