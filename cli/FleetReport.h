#pragma once

#include "FleetResult.h"
#include "FleetRunner.h"
#include "connect/TargetsFile.h"
#include "TerminalOutput.h"
#include "platform/Clock.h"

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace kalo::cli {

// DIR/NAME.json, however many slashes end DIR: where a get-status child
// writes its printer's profile.
std::string ProfileFile(const std::string& folder, const std::string& name);

// How the fleet is reported.
struct FleetReportForm {
    bool json = false;      // one JSON object a line instead of live lines and a table
    bool live = false;      // the printers still running are redrawn in place on a terminal
    bool dryRun = false;    // set-status wrote nothing: "would change"
    std::string profileOut; // get-status: the folder of the profiles
};

// The outcome of each printer as it finishes, and the summary: JSON lines,
// or live lines on a terminal and a table at the end.
class FleetReport final : public FleetObserver {
public:
    // jobTargets: the target of each job, by its index in targets.
    FleetReport(std::ostream& out, FleetTask task, FleetReportForm form, const std::vector<Target>& targets,
                std::vector<size_t> jobTargets, platform::Clock& clock);

    void Started(size_t job) override;
    void Step(size_t job, const std::string& line) override { m_running[job].step = line; }
    void Finished(const ChildReport& report) override;
    void Tick() override;

    // A printer that is not run, and why.
    void Failed(size_t target, const std::string& why);
    void Summary(const FleetRunEnd& end);
    // 1 when a printer failed; for diff 3 when one differs; for status 5
    // when one cannot print, else 4 when one needs attention.
    int ExitStatus() const;

private:
    struct Running {
        std::string step;
        int64_t since = 0;
    };
    // What the summary counts.
    struct Tally {
        std::map<TargetOutcome, size_t> outcomes;
        size_t changed = 0;
        size_t finished = 0;
    };

    void Add(size_t target, TargetResult result);
    void PrintTable();

    std::ostream& m_out;
    FleetTask m_task;
    FleetReportForm m_form;
    const std::vector<Target>& m_targets;
    std::vector<size_t> m_jobTargets;
    std::string m_changedWord;
    platform::Clock& m_clock;
    int64_t m_start;
    LiveText m_liveLines;
    std::map<size_t, Running> m_running;
    std::vector<std::pair<size_t, TargetResult>> m_results;
    Tally m_tally;
    int64_t m_largestChildKiB = 0;
};

} // namespace kalo::cli
