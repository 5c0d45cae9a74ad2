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
            std::vector<std::string> args = {"--tcp", "127.0.0.1:0", "--wire-log", WireLog(member.name), "--state",
                                             member.state};
            for (const std::string& fault : member.faults)
                args.insert(args.end(), {"--fault", fault});
            m_printers.push_back(std::make_unique<test::VirtualPrinterProcess>(args));
            targets << member.name << " socket://127.0.0.1:" << m_printers.back()->tcpPort << "\n";
        }
        std::ofstream(ProfilePath()) << kProfile;
    }
    ~Fleet() { std::filesystem::remove_all(m_base); }

    std::string TargetsPath() const { return m_base + "/targets"; }
    std::string ProfilePath() const { return m_base + "/profile.json"; }
    std::string WireLog(const std::string& name) const { return m_base + "/" + name + ".wire"; }
    std::string Dir() const { return m_base; }

private:
    static inline int s_count = 0;
    std::string m_base;
    std::vector<std::unique_ptr<test::VirtualPrinterProcess>> m_printers;
};

std::vector<nlohmann::json> JsonLines(const std::string& text)
{
    std::vector<nlohmann::json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(nlohmann::json::parse(line, nullptr, false));
    return lines;
}

// Every entering of user-setting mode is followed by its leaving.
void ExpectEveryEnterLeft(const std::string& wireLog)
{
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

} // namespace
