#include "FleetReport.h"

#include "Command.h"
#include "platform/ChildProcesses.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iomanip>
#include <sstream>

namespace kalo::cli {

namespace {

constexpr int64_t kMicrosPerSecond = 1000000;
constexpr int64_t kRedrawMicros = 250000;
// The running printers shown at most.
constexpr size_t kShown = 20;

double Rounded(double seconds)
{
    return std::round(seconds * 100) / 100;
}

} // namespace

std::string ProfileFile(const std::string& folder, const std::string& name)
{
    std::string trimmed = folder;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    return trimmed + (trimmed == "/" ? "" : "/") + name + ".json";
}

FleetReport::FleetReport(std::ostream& out, FleetTask task, FleetReportForm form, const std::vector<Target>& targets,
                         std::vector<size_t> jobTargets, platform::Clock& clock)
    : m_out(out)
    , m_task(task)
    , m_form(std::move(form))
    , m_targets(targets)
    , m_jobTargets(std::move(jobTargets))
    , m_changedWord(m_form.dryRun ? "would change" : "changed")
    , m_clock(clock)
    , m_start(clock.NowMicros())
    , m_liveLines(out, m_form.live && !m_form.json, clock, 0, kRedrawMicros)
{
}

void FleetReport::Started(size_t job)
{
    m_running[job] = {kFleetTasks[int(m_task)], m_clock.NowMicros()};
}

void FleetReport::Finished(const ChildReport& report)
{
    m_running.erase(report.job);
    const size_t target = m_jobTargets[report.job];
    Add(target, InterpretChild(m_task, report, ProfileFile(m_form.profileOut, m_targets[target].name)));
}

void FleetReport::Failed(size_t target, const std::string& why)
{
    TargetResult result;
    result.exit = -1;
    result.message = why;
    Add(target, std::move(result));
}

void FleetReport::Tick()
{
    if (!m_liveLines.Due())
        return;
    const int64_t now = m_clock.NowMicros();
    std::ostringstream lines;
    size_t shown = 0;
    for (const auto& [job, running] : m_running) {
        if (shown++ == kShown)
            break;
        lines << "  " << std::left << std::setw(20) << m_targets[m_jobTargets[job]].name << ' ' << std::right
              << std::setw(5) << (now - running.since) / kMicrosPerSecond << " s  " << running.step.substr(0, 60)
              << '\n';
    }
    lines << m_tally.finished << " of " << m_targets.size() << " finished, " << m_running.size() << " running"
          << (m_running.size() > kShown ? " (" + std::to_string(kShown) + " shown)" : "") << '\n';
    m_liveLines.Show(lines.str());
}

void FleetReport::Summary(const FleetRunEnd& end)
{
    const double seconds = double(m_clock.NowMicros() - m_start) / kMicrosPerSecond;
    const size_t notStarted = m_jobTargets.size() - end.started;
    const auto count = [this](TargetOutcome outcome) {
        const auto found = m_tally.outcomes.find(outcome);
        return found == m_tally.outcomes.end() ? size_t(0) : found->second;
    };
    if (m_form.json) {
        nlohmann::ordered_json summary = {{"targets", m_targets.size()}, {"finished", m_tally.finished},
                                          {"changed", m_tally.changed},  {"notStarted", notStarted},
                                          {"interrupted", end.interrupted}, {"seconds", Rounded(seconds)}};
        for (const TargetOutcome outcome : {TargetOutcome::Ok, TargetOutcome::Same, TargetOutcome::Different,
                                            TargetOutcome::Attention, TargetOutcome::CannotPrint, TargetOutcome::Failed, TargetOutcome::TimedOut, TargetOutcome::Died,
                                            TargetOutcome::Interrupted})
            summary["outcomes"][OutcomeText(outcome)] = count(outcome);
        // The most memory the fleet and its largest child held, resident.
        summary["peakKiB"] = {{"fleet", platform::OwnPeakKiB()}, {"child", m_largestChildKiB}};
        m_out << nlohmann::ordered_json{{"summary", summary}}.dump() << '\n' << std::flush;
        return;
    }
    m_liveLines.Clear();
    PrintTable();
    m_out << m_tally.finished << " of " << m_targets.size() << " printers in " << std::fixed << std::setprecision(1)
          << seconds << " s:";
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

int FleetReport::ExitStatus() const
{
    // A failure before a printer that cannot print, before one that needs
    // attention, before a difference.
    int status = kExitOk;
    for (const auto& [outcome, n] : m_tally.outcomes) {
        if (IsFailure(outcome))
            return kExitFailed;
        if (outcome == TargetOutcome::CannotPrint)
            status = kExitCannotPrint;
        else if (outcome == TargetOutcome::Attention && status != kExitCannotPrint)
            status = kExitAttention;
        else if (outcome == TargetOutcome::Different && status == kExitOk)
            status = kExitDifferent;
    }
    return status;
}

void FleetReport::Add(size_t target, TargetResult result)
{
    ++m_tally.outcomes[result.outcome];
    m_tally.changed += result.changed ? 1 : 0;
    ++m_tally.finished;
    m_largestChildKiB = std::max(m_largestChildKiB, result.peakKiB);
    if (m_form.json) {
        const Target& named = m_targets[target];
        nlohmann::ordered_json line = {{"name", named.name},
                                       {"uri", named.uri},
                                       {"outcome", OutcomeText(result.outcome)},
                                       {"exit", result.exit},
                                       {"seconds", Rounded(result.seconds)},
                                       {"changed", result.changed},
                                       {"message", result.message}};
        if (!result.differences.empty())
            line["differences"] = result.differences;
        if (!result.status.is_null())
            line["status"] = result.status;
        m_out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n' << std::flush;
    } else {
        m_results.emplace_back(target, std::move(result));
    }
}

void FleetReport::PrintTable()
{
    if (m_results.empty())
        return;
    // In the file's order, whatever order they finished in.
    std::sort(m_results.begin(), m_results.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    size_t nameWidth = 4;
    for (const auto& [target, result] : m_results)
        nameWidth = std::max(nameWidth, m_targets[target].name.size());
    std::string changes = m_task == FleetTask::SetStatus ? m_changedWord + " / message" : "differences / message";
    for (char& c : changes)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    m_out << std::left << std::setw(int(nameWidth)) << "NAME" << "  " << std::setw(11) << "OUTCOME" << std::right
          << std::setw(8) << "SECONDS" << "  " << changes << '\n';
    for (const auto& [target, result] : m_results) {
        std::string detail = result.changes;
        if (!result.message.empty())
            detail += (detail.empty() ? "" : "; ") + result.message;
        m_out << std::left << std::setw(int(nameWidth)) << m_targets[target].name << "  " << std::setw(11)
              << OutcomeText(result.outcome) << std::right << std::setw(8) << std::fixed << std::setprecision(1)
              << result.seconds << "  " << detail << '\n';
    }
}

} // namespace kalo::cli
