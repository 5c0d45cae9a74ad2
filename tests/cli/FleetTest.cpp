// The fleet's parts on their own: the targets file, what a child's exit
// and output come to, and the runner with real children of /bin/sh.
#include "cli/FleetResult.h"
#include "cli/FleetRunner.h"
#include "cli/TargetsFile.h"
#include "platform/ChildProcesses.h"
#include "platform/Interruption.h"
#include "platform/SystemClock.h"
#include "platform/Text.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

using namespace kalo;
using namespace kalo::cli;

// A URI reader for the file's own checks: "tcp:HOST" is a device of its
// own (the host in any case); anything else is refused.
bool ReadTestUri(const std::string& uri, ConnectionOptions& connection, std::string& device, std::string& error)
{
    if (uri.rfind("tcp:", 0) != 0 || uri.size() == 4) {
        error = "'" + uri + "' is not a URI";
        return false;
    }
    connection.interfaceKind = PortKind::Ethernet;
    connection.address = uri.substr(4);
    device = platform::Lower(connection.address);
    return true;
}

struct TargetsRow {
    const char* name;
    std::string text;
    std::vector<std::string> names;  // the targets taken, in order
    std::vector<std::string> errors; // or the refusal, every line named
};

const TargetsRow kTargetsRows[] = {
    {"CommentsBlanksAndCrLf", "# shop printers\n\nshop-1 tcp:a\r\n  # inner comment\nshop_2.x\ttcp:b   \n  \nB3 tcp:c",
     {"shop-1", "shop_2.x", "B3"}, {}},
    {"EmptyFile", "", {}, {}},
    {"NameWithoutUri", "a tcp:a\nlonely\n", {}, {"line 2: 'lonely' has no URI after it"}},
    {"ThreeFields", "a tcp:a extra\n", {}, {"line 1: more than a name and a URI: 'a tcp:a extra'"}},
    {"NameCharacters", "shop/1 tcp:a\nok tcp:b\nsh\x1bop tcp:c\n", {},
     {"line 1: the name 'shop/1' may hold only letters, digits, '-', '_' and '.'",
      "line 3: the name 'sh\\x1bop' may hold only letters, digits, '-', '_' and '.'"}},
    {"NameTooLong", std::string(201, 'n') + " tcp:a\n" + std::string(200, 'm') + " tcp:b\n", {},
     {"line 1: the name is longer than 200 characters"}},
    {"BadUri", "a tcp:\n", {}, {"line 1: 'tcp:' is not a URI"}},
    {"RepeatedName", "a tcp:a\nb tcp:b\na tcp:c\n", {}, {"line 3: the name 'a' is already on line 1"}},
    {"SameDeviceTwice", "a tcp:host\nb tcp:HOST\n", {}, {"line 2: 'tcp:HOST' is the printer of line 1"}},
    {"EveryWrongLineNamed", "a\nb tcp:b\nb tcp:x\nc tcp:b\n", {},
     {"line 1: 'a' has no URI after it", "line 3: the name 'b' is already on line 2",
      "line 4: 'tcp:b' is the printer of line 2"}},
};

TEST(TargetsFileTest, TakesWellFormedFilesAndNamesEveryWrongLine)
{
    for (const TargetsRow& row : kTargetsRows) {
        SCOPED_TRACE(row.name);
        std::vector<Target> targets;
        std::vector<std::string> errors;
        EXPECT_EQ(ReadTargets(row.text, ReadTestUri, targets, errors), row.errors.empty());
        std::vector<std::string> names;
        for (const Target& target : targets)
            names.push_back(target.name);
        EXPECT_EQ(names, row.names);
        EXPECT_EQ(errors, row.errors);
    }
}

TEST(TargetsFileTest, ManyWrongLinesAreCountedBeyondTheFirstTwenty)
{
    std::string text;
    for (int i = 0; i < 10000; ++i)
        text += "t" + std::to_string(i) + (i % 2 ? " tcp:h" + std::to_string(i) : "") + "\n";
    std::vector<Target> targets;
    std::vector<std::string> errors;
    EXPECT_FALSE(ReadTargets(text, ReadTestUri, targets, errors));
    ASSERT_EQ(errors.size(), 21u);
    EXPECT_EQ(errors.front(), "line 1: 't0' has no URI after it");
    EXPECT_EQ(errors.back(), "and 4980 more lines");
    EXPECT_TRUE(targets.empty());
}

platform::ChildExit Exited(int code)
{
    return {platform::ChildEnd::Exited, code, 0, ""};
}

struct ChildRow {
    const char* name;
    FleetTask task;
    ChildFate fate;
    platform::ChildExit exit;
    std::string out, err;
    TargetOutcome outcome;
    int exitStatus;
    bool changed;
    std::string message;
    std::string changes;
};

const std::string kTwoDifferences = R"j({"same": false, "differences": [
    {"switch": "6", "pin": "2", "label": "x", "from": "off", "to": "on"},
    {"setting": "code-page", "from": "PC437 (USA)", "to": "PC850 (Multilingual)"}]})j";

const ChildRow kChildRows[] = {
    {"IdentifyOk", FleetTask::Identify, ChildFate::Ended, Exited(0),
     "Printer is connected.\nMaker: KEMTRAN\nModel: TLR-740II\n", "", TargetOutcome::Ok, 0, false,
     "Model: TLR-740II", ""},
    {"IdentifyFailedReasonsOnOneLine", FleetTask::Identify, ChildFate::Ended, Exited(1), "",
     "Fail to get printer ID.\n\nPlease retry connect\n", TargetOutcome::Failed, 1, false,
     "Fail to get printer ID. Please retry connect", ""},
    {"DiffSame", FleetTask::Diff, ChildFate::Ended, Exited(0), R"j({"same": true, "differences": []})j", "",
     TargetOutcome::Same, 0, false, "", ""},
    {"DiffDifferent", FleetTask::Diff, ChildFate::Ended, Exited(3), kTwoDifferences, "", TargetOutcome::Different, 3,
     false, "", "6/2 off->on, code-page PC437 (USA)->PC850 (Multilingual)"},
    {"SetStatusChanged", FleetTask::SetStatus, ChildFate::Ended, Exited(0),
     R"j({"changed": true, "written": true, "verified": true, "message": "Success to set status of printer",
         "differences": [{"switch": "1", "pin": "3", "from": "on", "to": "off"}]})j",
     "", TargetOutcome::Ok, 0, true, "Success to set status of printer", "1/3 on->off"},
    {"SetStatusPinNotTaken", FleetTask::SetStatus, ChildFate::Ended, Exited(1),
     R"j({"changed": true, "written": true, "verified": false, "message": "switch 6 pin 2 did not take on"})j",
     "", TargetOutcome::Failed, 1, true, "switch 6 pin 2 did not take on", ""},
    {"SetStatusReasonsOnStandardError", FleetTask::SetStatus, ChildFate::Ended, Exited(1),
     R"j({"changed": false, "message": "the printer could not be used (standard error says why)"})j",
     "Fail to get printer ID.\n\nPlease retry connect\n", TargetOutcome::Failed, 1, false,
     "Fail to get printer ID. Please retry connect", ""},
    {"SetStatusNoJson", FleetTask::SetStatus, ChildFate::Ended, Exited(2), "{trunc",
     "kaloctl set-status: bad profile\n", TargetOutcome::Failed, 2, false, "kaloctl set-status: bad profile", ""},
    {"TimedOut", FleetTask::Identify, ChildFate::TimedOut, Exited(143), "", "", TargetOutcome::TimedOut, 143, false,
     "stopped after 0 s without an end", ""},
    {"ChildInterruptedItself", FleetTask::GetStatus, ChildFate::Ended, Exited(130), "", "kaloctl: interrupted\n",
     TargetOutcome::Interrupted, 130, false, "kaloctl: interrupted", ""},
    {"StoppedBySecondInterrupt", FleetTask::SetStatus, ChildFate::Interrupted, Exited(143), "", "",
     TargetOutcome::Interrupted, 143, false, "interrupted", ""},
    {"Crashed", FleetTask::Identify, ChildFate::Ended, {platform::ChildEnd::Signalled, SIGSEGV, 0, "Segmentation fault"},
     "", "", TargetOutcome::Died, 139, false, "ended by signal 11 (Segmentation fault)", ""},
    {"NotStarted", FleetTask::Identify, ChildFate::Ended, {platform::ChildEnd::NotStarted, 0, 0, "x: No such file"},
     "", "", TargetOutcome::Failed, -1, false, "could not start: x: No such file", ""},
};

TEST(FleetResultTest, ReadsEachChildsEndOutputAndReasons)
{
    for (const ChildRow& row : kChildRows) {
        SCOPED_TRACE(row.name);
        const TargetResult result = InterpretChild(row.task, {0, row.fate, row.exit, row.out, row.err, 400000});
        EXPECT_STREQ(OutcomeText(result.outcome), OutcomeText(row.outcome));
        EXPECT_EQ(result.exit, row.exitStatus);
        EXPECT_EQ(result.changed, row.changed);
        EXPECT_EQ(result.message, row.message);
        EXPECT_EQ(result.changes, row.changes);
    }
}

// Records what the runner reports; may interrupt the run when a job starts.
struct Recorder final : FleetObserver {
    void Started(size_t job) override
    {
        started.push_back(job);
        maxRunning = std::max(maxRunning, ++running);
        if (interrupts > 0) {
            platform::Interrupt(SIGINT);
            --interrupts;
        }
    }
    // A second interruption comes once the runner has seen the first.
    void Tick() override
    {
        if (interrupts > 0 && !platform::Interrupted()) {
            platform::Interrupt(SIGINT);
            --interrupts;
        }
    }
    void Step(size_t job, const std::string& line) override { steps.push_back(std::to_string(job) + ":" + line); }
    void Finished(const ChildReport& report) override
    {
        --running;
        reports.push_back(report);
    }
    std::vector<size_t> started;
    std::vector<std::string> steps;
    std::vector<ChildReport> reports;
    size_t running = 0, maxRunning = 0;
    int interrupts = 0;
};

FleetJob Shell(const std::string& script, double boundSeconds = 5)
{
    return {{"sh", "-c", script}, int64_t(boundSeconds * 1e6)};
}

TEST(FleetRunnerTest, EachChildEndsWithItsOwnOutcome)
{
    platform::ClearInterruption();
    const auto children = platform::NewChildProcesses();
    platform::SystemClock clock;
    constexpr int64_t kGraceMicros = 500000;
    FleetRunner runner(*children, clock, "/bin/sh", kGraceMicros);
    Recorder recorder;
    const std::vector<FleetJob> jobs = {
        Shell("echo connected; echo step one >&2; exit 0"),
        Shell("echo reason >&2; exit 1"),
        Shell("kill -SEGV $$"),
        // Ignores the termination its bound brings, so it is killed.
        Shell("trap '' TERM; sleep 20", 0.3),
        Shell("exec sleep 20", 0.3),
    };
    const auto started = std::chrono::steady_clock::now();
    const FleetRunEnd end = runner.Run(jobs, 8, recorder);
    EXPECT_FALSE(end.interrupted);
    EXPECT_EQ(end.started, jobs.size());
    EXPECT_EQ(children->Running(), 0u);
    // The killed one gets its grace after the termination.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::microseconds(300000 + kGraceMicros + 1500000));
    ASSERT_EQ(recorder.reports.size(), jobs.size());
    std::map<size_t, ChildReport> byJob;
    for (const ChildReport& report : recorder.reports)
        byJob[report.job] = report;
    EXPECT_EQ(byJob[0].out, "connected\n");
    EXPECT_EQ(byJob[0].err, "step one\n");
    EXPECT_EQ(byJob[0].exit.code, 0);
    EXPECT_EQ(byJob[1].exit.code, 1);
    EXPECT_EQ(byJob[2].exit.end, platform::ChildEnd::Signalled);
    EXPECT_EQ(byJob[2].exit.code, SIGSEGV);
    EXPECT_EQ(byJob[3].fate, ChildFate::TimedOut);
    EXPECT_EQ(byJob[3].exit.code, SIGKILL);
    EXPECT_EQ(byJob[4].fate, ChildFate::TimedOut);
    EXPECT_EQ(byJob[4].exit.code, SIGTERM);
    EXPECT_GE(byJob[4].micros, 300000);
    EXPECT_LT(byJob[4].micros, 2000000);
    EXPECT_EQ(recorder.steps, (std::vector<std::string>{"0:step one", "1:reason"}));
}

TEST(FleetRunnerTest, HundredsOfChildrenAtMostNAtATimeLeaveNoDescriptor)
{
    platform::ClearInterruption();
    const int descriptors = test::OpenDescriptorCount();
    const auto children = platform::NewChildProcesses();
    platform::SystemClock clock;
    FleetRunner runner(*children, clock, "/bin/sh");
    Recorder recorder;
    const std::vector<FleetJob> jobs(300, Shell("exit 0"));
    runner.Run(jobs, 16, recorder);
    EXPECT_EQ(recorder.reports.size(), 300u);
    EXPECT_EQ(recorder.maxRunning, 16u);
    EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
}

struct InterruptRow {
    const char* name;
    int interrupts;
    size_t started;
    ChildFate fate;
    int exitCode;
};

const InterruptRow kInterruptRows[] = {
    {"None", 0, 3, ChildFate::Ended, 0},
    {"FirstLetsTheRunningFinish", 1, 1, ChildFate::Ended, 0},
    {"SecondStopsThem", 2, 1, ChildFate::Interrupted, SIGTERM},
};

TEST(FleetRunnerTest, InterruptionsStopTheStartingThenTheRunning)
{
    for (const InterruptRow& row : kInterruptRows) {
        SCOPED_TRACE(row.name);
        platform::ClearInterruption();
        const auto children = platform::NewChildProcesses();
        platform::SystemClock clock;
        FleetRunner runner(*children, clock, "/bin/sh");
        Recorder recorder;
        recorder.interrupts = row.interrupts;
        const FleetRunEnd end = runner.Run(std::vector<FleetJob>(3, Shell("sleep 0.3")), 1, recorder);
        EXPECT_EQ(end.interrupted, row.interrupts > 0);
        EXPECT_EQ(end.signal, row.interrupts > 0 ? SIGINT : 0);
        EXPECT_EQ(end.started, row.started);
        ASSERT_EQ(recorder.reports.size(), row.started);
        EXPECT_EQ(recorder.reports[0].fate, row.fate);
        EXPECT_EQ(recorder.reports[0].exit.code, row.exitCode);
        EXPECT_FALSE(platform::Interrupted());
    }
}

} // namespace
