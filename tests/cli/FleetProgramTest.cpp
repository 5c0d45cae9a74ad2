// kaloctl fleet end to end: real children against real kalo-vprinters.
#include "port/PrinterCommands.h"
#include "support/ChildProcess.h"
#include "support/InProcessKaloctl.h"
#include "support/WireLogText.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <poll.h>
#include <regex>
#include <unistd.h>

namespace {

using namespace kalo;

const std::string kEnter = test::HexText(cmd::kEnterUserSetting);
const std::string kLeave = test::HexText(cmd::kEndUserSetting);

// Sets switch 6 pin 2 and switch 1 pin 3; every other pin is kept.
const char kProfile[] = R"({"format": "kalo-profile/1", "switches": {"6": {"2": "on"}, "1": {"3": "on"}}})";

struct Member {
    std::string name;
    std::vector<std::string> faults; // the printer's
    std::string state = "ready";     // its --state
};

// A fleet of kalo-vprinters, one process each, with their wire logs.
class Fleet {
public:
    explicit Fleet(const std::vector<Member>& members)
        : m_base(testing::TempDir() + "kalo-fleet-" + std::to_string(getpid()) + "-" + std::to_string(s_count++))
    {
        std::filesystem::create_directories(m_base);
        std::ofstream targets(TargetsPath());
        targets << "# the test's fleet\n";
        for (const Member& member : members) {
            SetState(member.name, member.state);
            m_args[member.name] = {"--wire-log", WireLog(member.name), "--state-file", m_base + "/" + member.name};
            for (const std::string& fault : member.faults)
                m_args[member.name].insert(m_args[member.name].end(), {"--fault", fault});
            Start(member.name, "127.0.0.1:0");
            targets << member.name << " socket://127.0.0.1:" << m_printers[member.name]->tcpPort << "\n";
        }
        std::ofstream(ProfilePath()) << kProfile;
    }
    ~Fleet() { std::filesystem::remove_all(m_base); }

    // The words its next real-time answers give.
    void SetState(const std::string& name, const std::string& words) const
    {
        std::ofstream(m_base + "/" + name + ".next") << words;
        std::filesystem::rename(m_base + "/" + name + ".next", m_base + "/" + name);
    }
    void Stop(const std::string& name) { m_printers[name].reset(); }
    // On the port it had, after Stop.
    void Start(const std::string& name, const std::string& address)
    {
        std::vector<std::string> args = {"--tcp", address};
        args.insert(args.end(), m_args[name].begin(), m_args[name].end());
        m_printers[name] = std::make_unique<test::VirtualPrinterProcess>(args);
    }

    std::string TargetsPath() const { return m_base + "/targets"; }
    std::string ProfilePath() const { return m_base + "/profile.json"; }
    std::string WireLog(const std::string& name) const { return m_base + "/" + name + ".wire"; }
    std::string Dir() const { return m_base; }

private:
    static inline int s_count = 0;
    std::string m_base;
    std::map<std::string, std::unique_ptr<test::VirtualPrinterProcess>> m_printers;
    std::map<std::string, std::vector<std::string>> m_args;
};

std::vector<nlohmann::json> JsonLines(const std::string& text)
{
    std::vector<nlohmann::json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(nlohmann::json::parse(line, nullptr, false));
    return lines;
}

// Every entering of user-setting mode is followed by its leaving, which the
// printer may log a moment after kaloctl ended on a loaded machine.
void ExpectEveryEnterLeft(const std::string& wireLog)
{
    if (test::ReceivedHex(wireLog).find(kEnter) != std::string::npos)
        test::WaitForReceived(wireLog, kLeave, 5000);
    const std::string received = test::ReceivedHex(wireLog);
    for (size_t at = received.find(kEnter); at != std::string::npos; at = received.find(kEnter, at + 1)) {
        const size_t left = received.find(kLeave, at);
        ASSERT_NE(left, std::string::npos) << wireLog;
        EXPECT_GT(received.find(kEnter, at + 1), left) << wireLog;
    }
}

// Each printer is reported as it finishes, not when the slowest one has: its
// JSON line, or on a terminal the live lines of those still running.
TEST(FleetProgramTest, ReportsWhileAnotherPrinterIsStillRunning)
{
    const Fleet fleet({{"quick", {}}, {"silent", {"silent"}}});
    for (const auto& [json, shown] : {std::pair{" --json", "{\"name\":\"quick\""}, {"", "1 of 2 finished, 1 running"}}) {
        SCOPED_TRACE(json);
        test::PtyPair terminal;
        const std::string line = std::string("exec '") + KALO_KALOCTL_PATH + "' fleet identify --targets '"
            + fleet.TargetsPath() + "'" + json + " >" + terminal.path;
        test::ChildProcess kaloctl("/bin/sh", {"-c", line});
        std::string seen;
        pollfd ready = {terminal.master, POLLIN, 0};
        char buffer[4096];
        for (ssize_t got = 1; got > 0 && seen.find(shown) == std::string::npos;) {
            got = poll(&ready, 1, 10000) == 1 ? read(terminal.master, buffer, sizeof buffer) : -1;
            seen.append(buffer, size_t(std::max<ssize_t>(got, 0)));
        }
        EXPECT_NE(seen.find(shown), std::string::npos) << seen;
        EXPECT_EQ(kaloctl.Wait(0), test::ChildProcess::kStillRunning);
        // A second interruption stops the silent printer's child too.
        kaloctl.Signal(SIGINT);
        usleep(50000);
        kaloctl.Signal(SIGINT);
        EXPECT_EQ(kaloctl.Wait(5000), 130);
    }
}

// Ctrl+C pressed twice, as a terminal sends it, to the fleet alone (its
// children are in process groups of their own): the two printers being
// written are stopped and still leave user-setting mode; the other two are
// not started.
TEST(FleetProgramTest, InterruptionLeavesNoPrinterInUserSettingMode)
{
    const std::vector<Member> members = {{"p1", {}}, {"p2", {}}, {"p3", {}}, {"p4", {}}};
    const Fleet fleet(members);
    const std::string out = fleet.Dir() + "/out";
    std::string line = std::string("exec '") + KALO_KALOCTL_PATH + "' fleet set-status --profile '" + fleet.ProfilePath()
        + "' --json --jobs 2 --targets '" + fleet.TargetsPath() + "' >'" + out + "'";
    test::ChildProcess kaloctl("/bin/sh", {"-c", line});
    ASSERT_TRUE(test::WaitForReceived(fleet.WireLog("p1"), kEnter, 15000));
    kaloctl.Signal(SIGINT);
    usleep(50000);
    kaloctl.Signal(SIGINT);
    EXPECT_EQ(kaloctl.Wait(20000), 130);
    const std::vector<nlohmann::json> lines = JsonLines(test::FileBytes(out));
    ASSERT_EQ(lines.size(), 3u) << test::FileBytes(out);
    EXPECT_EQ(lines.back()["summary"]["notStarted"], 2);
    EXPECT_EQ(lines.back()["summary"]["interrupted"], true);
    for (const Member& member : members)
        ExpectEveryEnterLeft(fleet.WireLog(member.name));
    EXPECT_EQ(test::ReceivedHex(fleet.WireLog("p3")), "");
}

// Twelve printers in mixed states, each reported with its own state, and
// the fleet's exit status the worst of them: one that does not answer.
TEST(FleetProgramTest, StatusOfAMixedFleet)
{
    const std::pair<Member, std::string> rows[] = {
        {{"r1", {}}, "ready"},       {{"r2", {}, "drawer-high"}, "ready"},
        {{"n1", {}, "paper-near-end"}, "paper-near-end"}, {{"n2", {}, "paper-near-end"}, "paper-near-end"},
        {{"out", {}, "paper-out"}, "paper-out"},          {{"cover", {}, "cover-open,paper-out"}, "cover-open"},
        {{"off", {}, "offline"}, "offline"},              {{"cut", {}, "error=cutter"}, "error"},
        {{"auto", {}, "error=auto"}, "error"},            {{"n3", {}, "paper-near-end"}, "paper-near-end"},
        {{"r3", {}}, "ready"},                            {{"silent", {"silent"}}, "unknown"}};
    std::vector<Member> members;
    for (const auto& row : rows)
        members.push_back(row.first);
    const Fleet fleet(members);
    const auto run = test::RunProgram(KALO_KALOCTL_PATH,
                                      {"--pace", "reply", "fleet", "status", "--json", "--targets", fleet.TargetsPath()});
    EXPECT_EQ(run.status, 1) << run.err;
    std::map<std::string, std::string> states;
    for (const nlohmann::json& line : JsonLines(run.out))
        if (line.contains("status"))
            states[line["name"]] = line["status"]["state"];
    for (const auto& [member, state] : rows)
        EXPECT_EQ(states[member.name], state) << member.name;
}

// watch over three printers whose state files change: each change printed
// once and handed to the hook in order, a printer gone turning unreachable
// and back, a pin changed behind watch's back reported as drift, and no
// connection held between polls.
TEST(FleetProgramTest, WatchReportsEachChangeOnce)
{
    Fleet fleet({{"a", {}}, {"b", {}}, {"c", {}}});
    const std::string dir = fleet.Dir();
    std::ofstream(dir + "/hook") << "#!/bin/sh\necho \"$* $KALO_NAME $KALO_URI $KALO_FROM $KALO_TO\" >>'" << dir
                                  << "/hook.log'\n";
    std::filesystem::permissions(dir + "/hook", std::filesystem::perms::owner_all);
    std::string uriA, targets = test::FileBytes(fleet.TargetsPath());
    std::istringstream(targets.substr(targets.find("\na ") + 3)) >> uriA;
    const std::string cPort = targets.substr(targets.find("\nc ") + 3);
    const auto held = test::RunProgram(KALO_KALOCTL_PATH, {"--pace", "reply", "--target", uriA, "get-status",
                                                           "--profile-out", dir + "/held.json"});
    ASSERT_EQ(held.status, 0) << held.err;

    test::ChildProcess watch(KALO_KALOCTL_PATH,
                             {"--pace", "reply", "watch", "--targets", fleet.TargetsPath(), "--interval", "0.2",
                              "--json", "--on-change", dir + "/hook", "--profile", dir + "/held.json", "--drift-every",
                              "0.01"});
    std::vector<std::string> changes; // "NAME FROM TO" of b and c; a is written to meanwhile
    bool drifted = false;
    // A change given as "*END" is any that ends so.
    const auto seen = [&](const std::string& wanted) {
        return std::any_of(changes.begin(), changes.end(), [&](const std::string& c) {
            return wanted[0] == '*' ? c.ends_with(wanted.substr(1)) : c == wanted;
        });
    };
    const auto until = [&](const std::string& change) {
        while (change == "drift" ? !drifted : !seen(change)) {
            const std::string line = watch.ReadLine(5000);
            const nlohmann::json json = nlohmann::json::parse(line, nullptr, false);
            if (!json.is_object())
                return false;
            drifted = drifted || (json.value("drift", false) && json["differences"][0]["switch"] == 6);
            if (json.contains("to") && json["name"] != "a")
                changes.push_back(json["name"].get<std::string>() + " " + json["from"].dump() + " "
                                  + json["to"].get<std::string>() + " " + json["status"]["state"].get<std::string>());
        }
        return true;
    };
    ASSERT_TRUE(until("b null ready ready") && until("c null ready ready"));
    fleet.SetState("b", "paper-near-end");
    ASSERT_TRUE(until("b \"ready\" paper-near-end paper-near-end"));
    fleet.Stop("c");
    ASSERT_TRUE(until("*unreachable unreachable"));
    fleet.Start("c", "127.0.0.1:" + cPort.substr(cPort.rfind(':') + 1, cPort.find('\n') - cPort.rfind(':') - 1));
    ASSERT_TRUE(until("c \"unreachable\" ready ready"));
    ASSERT_EQ(test::RunProgram(KALO_KALOCTL_PATH, {"--pace", "reply", "--target", uriA, "set-status", "--pin", "6:2=on"})
                  .status,
              0);
    EXPECT_TRUE(until("drift"));
    watch.Signal(SIGTERM);
    EXPECT_EQ(watch.Wait(1000), 143);
    // The text line of a first poll; a hang-up ends it too.
    test::ChildProcess text(KALO_KALOCTL_PATH, {"--pace", "reply", "watch", "--targets", fleet.TargetsPath(),
                                                "--interval", "0.2"});
    const std::string first = text.ReadLine();
    EXPECT_TRUE(std::regex_match(first, std::regex(R"(20\d\d-\d\d-\d\dT\d\d:\d\d:\d\dZ (a|c) none -> ready: Ready|.* b none -> paper-near-end: Paper near end)")))
        << first;
    text.Signal(SIGHUP);
    EXPECT_EQ(text.Wait(1000), 129);
    // Per printer, in order: the changes printed and the hook's runs, its
    // arguments the same as its environment.
    std::map<std::string, std::string> printed, hooked;
    for (const std::string& change : changes)
        printed[change.substr(0, 1)] += change.substr(0, change.rfind(' ')) + "\n";
    std::istringstream log(test::FileBytes(dir + "/hook.log"));
    for (std::string run; std::getline(log, run);) {
        std::istringstream words(run);
        std::string name, uri, from, to, again;
        words >> name >> uri >> from >> to;
        std::getline(words, again);
        EXPECT_EQ(again, " " + name + " " + uri + " " + from + " " + to);
        if (name != "a")
            hooked[name] += name + " " + (from == "none" ? "null" : "\"" + from + "\"") + " " + to + "\n";
    }
    EXPECT_EQ(printed["b"], "b null ready\nb \"ready\" paper-near-end\n");
    // A poll under way as c's process ends may have had part of its replies: unknown, then unreachable.
    EXPECT_EQ(test::Replace(printed["c"], "c \"ready\" unknown\nc \"unknown\" unreachable", "c \"ready\" unreachable"),
              "c null ready\nc \"ready\" unreachable\nc \"unreachable\" ready\n");
    EXPECT_EQ(hooked, printed);
    // Each poll opened its connection and closed it before the next one.
    std::istringstream wire(test::FileBytes(fleet.WireLog("b")));
    int opens = 0;
    std::string expectedWord = "open";
    for (std::string line; std::getline(wire, line);) {
        std::istringstream words(line);
        std::string time, word;
        words >> time >> word;
        if (word == "open" || word == "close") {
            ASSERT_EQ(word, expectedWord) << line;
            expectedWord = word == "open" ? "close" : "open";
            opens += word == "open";
        }
    }
    EXPECT_GT(opens, 5);
}

} // namespace
