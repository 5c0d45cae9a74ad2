// The fleet's parts on their own: the targets file and its names, what a
// child's exit and output come to, the runner with real children of
// /bin/sh, and the whole command in process with children it never runs.
#include "cli/FleetResult.h"
#include "cli/FleetRunner.h"
#include "cli/Kaloctl.h"
#include "connect/TargetsFile.h"
#include "platform/ChildProcesses.h"
#include "platform/Interruption.h"
#include "sim/MemorySpooler.h"
#include "platform/SystemClock.h"
#include "platform/Text.h"
#include "sim/InProcessPlatform.h"
#include "support/DescriptorsKept.h"
#include "support/InProcessKaloctl.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <unistd.h>
#include <utility>

namespace {

using namespace kalo;
using namespace kalo::cli;

// URIs read as --target reads them, COM and LPT names mapped to no device.
const platform::PortMap kPorts([](const char*) -> const char* { return nullptr; });

// The targets taken, or every wrong line named; then one printer under two
// names found by its addresses, which resolve through the machine's table,
// and a name that does not resolve named with its target.
TEST(TargetsFileTest, TakesWellFormedFilesAndNamesEveryWrongLine)
{
    const struct {
        const char* name;
        std::string text;
        std::vector<std::string> names;  // the targets taken, in order
        std::vector<std::string> errors; // or the refusal, every line named
    } rows[] = {
        {"CommentsBlanksAndCrLf",
         "# shop printers\n\nshop-1 socket://a\r\n  # inner comment\nshop_2.x\tsocket://b   \n  \nB3 socket://c",
         {"shop-1", "shop_2.x", "B3"}, {}},
        {"EmptyFile", "", {}, {}},
        {"ThreeFields", "a socket://a extra\n", {}, {"line 1: more than a name and a URI: 'a socket://a extra'"}},
        {"NameCharacters", "shop/1 socket://a\nok socket://b\nsh\x1bop socket://c\n", {},
         {"line 1: the name 'shop/1' may hold only letters, digits, '-', '_' and '.'",
          "line 3: the name 'sh\\x1bop' may hold only letters, digits, '-', '_' and '.'"}},
        {"NameTooLong", std::string(201, 'n') + " socket://a\n" + std::string(200, 'm') + " socket://b\n", {},
         {"line 1: the name is longer than 200 characters"}},
        {"EveryWrongLineNamed", "a\nb socket://b\nb socket://x\nc socket://b\n", {},
         {"line 1: 'a' has no URI after it", "line 3: the name 'b' is already on line 2",
          "line 4: 'socket://b' is the printer of line 2"}},
        {"NameAndAddress", "a socket://127.0.0.1\nb socket://LOCALHOST:9100\n", {"a", "b"},
         {"line 2: 'socket://LOCALHOST:9100' is the printer of line 1 (127.0.0.1)"}},
        {"OneOfTwoAddresses", "a socket://six\nb socket://shop\nc socket://localhost\n", {"a", "b", "c"},
         {"line 3: 'socket://localhost' is the printer of line 1 (::1)"}},
        {"OtherPorts", "a socket://127.0.0.1:9100\nb socket://localhost:9101\nc socket://shop:9101\n", {"a", "b", "c"},
         {}},
        {"NameThatDoesNotResolve", "a socket://shop\n\nb socket://nowhere\nc serial:COM1\n", {"a", "b", "c"},
         {"b: line 3: the name 'nowhere' does not resolve (Name or service not known)"}},
    };
    sim::InProcessPlatform machine;
    machine.hostAddresses = {{"127.0.0.1", {"127.0.0.1"}}, {"localhost", {"127.0.0.1", "::1"}}, {"six", {"::1"}},
                             {"shop", {"10.0.0.7"}}, {"a", {"10.0.0.1"}}, {"b", {"10.0.0.2"}}, {"c", {"10.0.0.3"}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<Target> targets;
        std::vector<std::string> errors;
        const bool read = ReadTargets(row.text, TargetUriReaderFor(kPorts), targets, errors);
        EXPECT_EQ(read, errors.empty());
        if (read) {
            const TargetAddresses found = ResolveTargets(targets, machine.Names(), 1000000);
            errors = found.errors;
            for (const auto& [index, reason] : found.unresolved)
                errors.push_back(targets.at(index).name + ": " + reason);
        }
        std::vector<std::string> names;
        for (const Target& target : targets)
            names.push_back(target.name);
        EXPECT_EQ(names, row.names);
        EXPECT_EQ(errors, row.errors);
    }
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
    std::string message;
    std::string changes;
    bool changed = false;
};

const std::string kTwoDifferences = R"j({"same": false, "differences": [
    {"switch": "6", "pin": "2", "label": "x", "from": "off", "to": "on"},
    {"setting": "code-page", "from": "PC437 (USA)", "to": "PC850 (Multilingual)"}]})j";

using enum FleetTask;
using enum TargetOutcome;
constexpr ChildFate kEnded = ChildFate::Ended;
const std::string kNoId = "Fail to get printer ID.\n\nPlease retry connect\n";
const std::string kNotTaken = "kaloctl set-status: switch 6 pin 2 did not take 'on'";

const ChildRow kChildRows[] = {
    {"IdentifyOk", Identify, kEnded, Exited(0), "Maker: KEMTRAN\nModel: TLR-740II\n", "", Ok, 0,
     "Model: TLR-740II", ""},
    {"DiffSame", Diff, kEnded, Exited(0), R"j({"same": true, "differences": []})j", "", Same, 0, "", ""},
    {"DiffDifferent", Diff, kEnded, Exited(3), kTwoDifferences, "", Different, 3, "",
     "6/2 off->on, code-page PC437 (USA)->PC850 (Multilingual)"},
    // A set-status that wrote, and one that wrote a pin the printer did not take.
    {"SetStatusWrote", SetStatus, kEnded, Exited(0), R"j({"changed": true, "written": true, "message": "Success"})j",
     "", Ok, 0, "Success", "", true},
    {"SetStatusPinNotTaken", SetStatus, kEnded, Exited(1),
     R"j({"changed": true, "differences": [{"switch": 6, "pin": 2, "from": "off", "to": "on"}], "message": "?"})j",
     kNotTaken + "\n", Failed, 1, kNotTaken, "6/2 off->on", true},
    {"SetStatusReasonsOnStandardError", SetStatus, kEnded, Exited(1),
     R"j({"changed": false, "message": "the printer could not be used (standard error says why)"})j", kNoId, Failed,
     1, "Fail to get printer ID. Please retry connect", ""},
    {"SetStatusNoJson", SetStatus, kEnded, Exited(2), "{trunc", "kaloctl set-status: bad profile\n", Failed, 2,
     "kaloctl set-status: bad profile", ""},
    {"TimedOut", Identify, ChildFate::TimedOut, Exited(143), "", "", TimedOut, 143,
     "stopped after 0 s without an end", ""},
    {"ChildInterruptedItself", GetStatus, kEnded, Exited(130), "", "kaloctl: interrupted\n", Interrupted, 130,
     "kaloctl: interrupted", ""},
    {"StoppedBySecondInterrupt", SetStatus, ChildFate::Interrupted, Exited(143), "", "", Interrupted, 143,
     "interrupted", ""},
    {"Crashed", Identify, kEnded, {platform::ChildEnd::Signalled, SIGSEGV, 0, "Segmentation fault"}, "", "", Died, 139,
     "ended by signal 11 (Segmentation fault)", ""},
    {"NotStarted", Identify, kEnded, {platform::ChildEnd::NotStarted, 0, 0, "x: No such file"}, "", "", Failed, -1,
     "could not start: x: No such file", ""},
    {"StatusCannotPrint", Status, kEnded, Exited(5), R"j({"state": "paper-out", "text": "Paper out"})j", "",
     CannotPrint, 5, "Paper out", ""},
    {"GetStatusSaysWhereItWroteTheProfile", GetStatus, kEnded, Exited(0), "Entrance time: 60 s\n", "", Ok, 0,
     "profile written to profiles/shop-1.json", ""},
};

TEST(FleetResultTest, ReadsEachChildsEndOutputAndReasons)
{
    for (const ChildRow& row : kChildRows) {
        SCOPED_TRACE(row.name);
        const TargetResult result =
            InterpretChild(row.task, {0, row.fate, row.exit, row.out, row.err, 400000}, "profiles/shop-1.json");
        EXPECT_STREQ(OutcomeText(result.outcome), OutcomeText(row.outcome));
        EXPECT_EQ(result.exit, row.exitStatus);
        EXPECT_EQ(result.message, row.message);
        EXPECT_EQ(result.changes, row.changes);
        EXPECT_EQ(result.changed, row.changed);
    }
}

// Records what the runner reports.
struct Recorder final : FleetObserver {
    void Started(size_t job) override
    {
        started.push_back(job);
        maxRunning = std::max(maxRunning, ++running);
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
};

FleetJob Shell(const std::string& script, double boundSeconds = 5)
{
    return {{"sh", "-c", script}, int64_t(boundSeconds * 1e6)};
}

// At most three at a time, and no descriptor left behind by any.
TEST(FleetRunnerTest, EachChildEndsWithItsOwnOutcome)
{
    platform::ClearInterruption();
    const test::DescriptorsKept kept; // after the interruption's pipe, which stays for the process
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
    const FleetRunEnd end = runner.Run(jobs, 3, recorder);
    EXPECT_FALSE(end.interrupted);
    EXPECT_EQ(end.started, jobs.size());
    EXPECT_EQ(children->Running(), 0u);
    EXPECT_EQ(recorder.maxRunning, 3u);
    // The killed one gets its grace after the termination, not its 20 s (the
    // margin is for a loaded machine: shells may take a while to start).
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    ASSERT_EQ(recorder.reports.size(), jobs.size());
    std::map<size_t, ChildReport> byJob;
    for (const ChildReport& report : recorder.reports)
        byJob[report.job] = report;
    EXPECT_EQ(byJob[0].out + byJob[0].err, "connected\nstep one\n");
    EXPECT_EQ(byJob[0].exit.code, 0);
    EXPECT_EQ(byJob[1].exit.code, 1);
    EXPECT_EQ(byJob[2].exit.end, platform::ChildEnd::Signalled);
    EXPECT_EQ(byJob[2].exit.code, SIGSEGV);
    EXPECT_EQ(byJob[3].fate, ChildFate::TimedOut);
    EXPECT_EQ(byJob[3].exit.code, SIGKILL);
    EXPECT_EQ(byJob[4].fate, ChildFate::TimedOut);
    EXPECT_EQ(byJob[4].exit.code, SIGTERM);
    EXPECT_GE(byJob[4].micros, 300000);
    EXPECT_LT(byJob[4].micros, 10000000);
    // The two run side by side: their lines may come in either order.
    std::sort(recorder.steps.begin(), recorder.steps.end());
    EXPECT_EQ(recorder.steps, (std::vector<std::string>{"0:step one", "1:reason"}));
}

// Children that are never run: each ends at the next wait, silent, with the
// exit status exits gives its target (else 0). The test sees what was
// started and may act as one starts.
struct RecordedChildren final : platform::ChildProcesses {
    RecordedChildren(std::vector<std::string>& log, const std::string& at, const std::map<std::string, int>& codes)
        : started(log), interruptAt(at), exits(codes) {}
    int Start(const std::string&, const std::vector<std::string>& args, const std::vector<std::string>&) override
    {
        // The fleet's children: "--target URI COMMAND"; its profile check: "diff".
        started.push_back(args[1] == "--target" ? args[2] : args[1]);
        if (started.back() == interruptAt)
            platform::Interrupt(SIGINT);
        pending.push_back(int(started.size()));
        return pending.back();
    }
    void Wait(int64_t, platform::ChildListener& listener) override
    {
        for (const int child : std::exchange(pending, {})) {
            const auto code = exits.find(started[size_t(child - 1)]);
            listener.Ended(child, {platform::ChildEnd::Exited, code == exits.end() ? 0 : code->second});
        }
    }
    void Stop(int, platform::StopKind) override {}
    size_t Running() const override { return pending.size(); }
    std::vector<std::string>& started;
    std::string interruptAt;
    const std::map<std::string, int>& exits;
    std::vector<int> pending;
};

// A name that does not resolve fails alone; an interruption stops what is
// not yet started; a wrong line, command or option is refused before
// anything is started, every wrong line said.
TEST(FleetCommandTest, UnresolvedNamesInterruptionsAndRefusals)
{
    const std::string fleet = "kaloctl fleet: ";
    const char* kMixed = "a socket://10.0.0.50\nb socket://shop:9100\nc socket://till\n";
    const std::vector<std::string> kThree = {"socket://10.0.0.50", "socket://shop:9100", "socket://till"};
    const struct {
        const char* name;
        std::vector<std::string> args;
        const char* interruptAt; // "diff": at its profile check
        int status;
        std::vector<std::string> started;
        std::vector<std::string> out; // parts of standard output, in order
        std::string err = "";         // how standard error begins; TARGETS stands for the file
        const char* targets = "a socket://10.0.0.50\n\nb socket://nowhere\nc socket://shop:9100\n";
        std::map<std::string, int> exits = {};
    } rows[] = {
        {"NameThatDoesNotResolveFailsAlone", {"identify", "--json"}, "", 1,
         {"socket://10.0.0.50", "socket://shop:9100"},
         {R"({"name":"b","uri":"socket://nowhere","outcome":"failed","exit":-1,"seconds":0.0,"changed":false,)"
          R"j("message":"line 3: the name 'nowhere' does not resolve (Name or service not known)"})j",
          R"("notStarted":0,"interrupted":false)", R"("failed":1)"}},
        {"TableStartsAtItsHeadingOffATerminal", {"identify"}, "", 1, {"socket://10.0.0.50", "socket://shop:9100"},
         {"NAME  OUTCOME", "a     ok", "b     failed", "line 3: the name 'nowhere'", "c     ok"}},
        {"InterruptedAtTheProfileCheck", {"set-status", "--profile", "PROFILE", "--json"}, "diff", 130, {"diff"},
         {R"({"name":"b")", R"("notStarted":2,"interrupted":true)"}},
        // Each wrong line's own text is TargetsFileTest's; here every one reaches standard error.
        {"MalformedLines", {"identify"}, "", 2, {}, {},
         fleet + "TARGETS: line 2: 'b' has no URI after it\n" + fleet + "TARGETS: line 3: the name 'a' is already on line 1\n",
         "a socket://127.0.0.1:1\nb\na socket://127.0.0.1:2\n"},
        // status: a failure before a printer that cannot print, before one that needs attention.
        {"StatusOneCannotPrint", {"status", "--json"}, "", 5, kThree, {R"({"name":"a")", R"("outcome":"attention")",
         R"("outcome":"cannot-print")", R"("attention":1,"cannot-print":1,)"}, "", kMixed, {{kThree[1], 4}, {kThree[2], 5}}},
        {"StatusOneNeedsAttention", {"status"}, "", 4, kThree, {"NAME  OUTCOME", "b     attention"}, "", kMixed,
         {{kThree[1], 4}}},
        {"StatusOneFailed", {"status"}, "", 1, kThree, {"NAME", "b     failed", "c     cannot-print"}, "", kMixed,
         {{kThree[1], 1}, {kThree[2], 5}}},
    };
    const std::string targets = test::Scratch("fleet.targets"), profile = test::Scratch("fleet.json");
    std::ofstream(profile) << R"({"format": "kalo-profile/1"})";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::ofstream(targets) << row.targets;
        platform::ClearInterruption();
        sim::InProcessPlatform machine;
        machine.hostAddresses["shop"] = {"10.0.0.7"};
        machine.hostAddresses["till"] = {"10.0.0.8"};
        std::vector<std::string> started;
        machine.childProcesses = [&] { return std::make_unique<RecordedChildren>(started, row.interruptAt, row.exits); };
        std::vector<std::string> args = {"fleet", "--targets", targets};
        for (const std::string& arg : row.args)
            args.push_back(arg == "PROFILE" ? profile : arg);
        const test::KaloRun run = test::RunKaloctl(args, machine);
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_EQ(started, row.started);
        const std::string err = test::Replace(row.err, "TARGETS", targets);
        EXPECT_EQ(run.err.substr(0, err.size()), err);
        size_t at = 0;
        for (const std::string& part : row.out) {
            at = run.out.find(part, at);
            EXPECT_NE(at, std::string::npos) << part << "\n" << run.out;
        }
        EXPECT_EQ(run.out.substr(0, row.out.empty() ? std::string::npos : row.out.front().size()),
                  row.out.empty() ? "" : row.out.front());
    }
    platform::ClearInterruption();
}

} // namespace
