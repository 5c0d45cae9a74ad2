#include "cli/Kaloctl.h"
#include "platform/LazyRegistryFile.h"
#include "platform/MemorySpooler.h"
#include "port/PrinterCommands.h"
#include "sim/InProcessPlatform.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <unistd.h>

using kalo::sim::InProcessPlatform;
using kalo::sim::PrinterOptions;

namespace {

// The rows print as their names (they name the ctest tests too).
template <class Row>
    requires requires(const Row& row) { row.name; }
void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.name;
}

struct Result {
    int status;
    std::string out, err;
};

// ctest runs each row as a process of its own, two at a time: each has its
// own files, so one row never reads another's half-written profile.
std::string Folder()
{
    static const std::string folder = ::testing::TempDir() + "kalo-profile-" + std::to_string(getpid()) + "-";
    return folder;
}

// kaloctl over TCP to the machine's printer; DIR/ in an argument is the test's folder.
Result Kalo(std::vector<std::string> args, InProcessPlatform& machine)
{
    for (std::string& arg : args) {
        if (arg.rfind("DIR/", 0) == 0)
            arg = Folder() + arg.substr(4);
    }
    args.insert(args.begin(), {"--tcp", "10.0.0.50"});
    std::ostringstream out, err;
    kalo::platform::MemorySpooler spooler;
    const kalo::platform::LazyRegistryFile registryFile([] { return std::string(); });
    const kalo::CRegistryKey registry({&registryFile});
    const int status = kalo::cli::Kaloctl().Run(args, out, err, machine, spooler, registry);
    return {status, out.str(), err.str()};
}

void Write(const std::string& name, const std::string& text)
{
    std::ofstream(Folder() + name) << text;
}

// A printer set up right: buzzer once (switch 6 pin 2), emulation 2, power save after 45 s.
PrinterOptions Reference()
{
    PrinterOptions options;
    options.switches[2] = 0x01;
    options.switches[5] = 0x02;
    options.powerSave = true;
    options.entranceTime = 45;
    return options;
}

PrinterOptions Faulty(std::initializer_list<const char*> faults)
{
    PrinterOptions options;
    std::string error;
    for (const char* fault : faults)
        EXPECT_TRUE(kalo::sim::ApplyFault(fault, options, error)) << error;
    return options;
}

std::vector<uint8_t> WireOf(const InProcessPlatform& machine)
{
    std::vector<uint8_t> wire;
    for (const auto& chunk : machine.lastLink->Written())
        wire.insert(wire.end(), chunk.bytes.begin(), chunk.bytes.end());
    return wire;
}

// How many switch writes and power-save writes the last connection carried.
std::pair<int, int> Writes(const InProcessPlatform& machine)
{
    const std::vector<uint8_t> wire = WireOf(machine);
    auto count = [&wire](std::vector<uint8_t> command) {
        int n = 0;
        for (auto it = wire.begin(); (it = std::search(it, wire.end(), command.begin(), command.end())) != wire.end(); ++it)
            ++n;
        return n;
    };
    return {count({0x1D, 0x28, 0x45, 0x0A, 0x00, 0x03}), count({0x08, 0x5E, 0x50, 0x30})};
}

const std::string kBuzzerOff = "switch 6 pin 2 ([PIN 2] Auto Internal buzzer control): on -> off\n";

} // namespace

// A reference printer read into a profile, the profile written to another
// printer and checked there: the second printer holds the first one's
// switches and power save, and diff finds them the same.
TEST(ProfileCommands, RoundTripFromPrinterToPrinter)
{
    InProcessPlatform reference(Reference()), other, fresh;
    const Result got = Kalo({"get-status", "--profile-out", "DIR/reference.json"}, reference);
    ASSERT_EQ(got.status, 0) << got.err;
    const Result applied = Kalo({"set-status", "--profile", "DIR/reference.json", "--verify"}, other);
    EXPECT_EQ(applied.status, 0) << applied.err;
    EXPECT_EQ(applied.out, "Success to set status of printer; read back: the printer holds every pin asked\n");
    for (int slot = 0; slot < 8; ++slot)
        EXPECT_EQ(other.Printer().SwitchBits(slot), reference.Printer().SwitchBits(slot)) << "slot " << slot;
    EXPECT_TRUE(other.Printer().PowerSave());
    EXPECT_EQ(other.Printer().EntranceTime(), 45);
    const Result same = Kalo({"diff", "printer", "DIR/reference.json"}, other);
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(same.out, "");
    const Result differs = Kalo({"diff", "DIR/reference.json", "printer", "--json"}, fresh);
    EXPECT_EQ(differs.status, 3);
    EXPECT_EQ(nlohmann::json::parse(differs.out),
              nlohmann::json::parse(R"json({"same": false, "differences": [
                  {"switch": "3", "pin": "1", "label": "Select Emulation (set with --emulation)", "from": "on", "to": "off"},
                  {"switch": "6", "pin": "2", "label": "[PIN 2] Auto Internal buzzer control", "from": "on", "to": "off"},
                  {"setting": "emulation", "from": "Emulation 2", "to": "Emulation 1 [Default]"},
                  {"setting": "power-save", "from": "on", "to": "off"},
                  {"setting": "entrance-time", "from": "45", "to": "30"}]})json"));
}

struct DiffRow {
    const char* name;
    std::vector<std::string> args;
    PrinterOptions printer;
    int status;
    std::string out, err; // err: how it begins
};

class ProfileRuns : public ::testing::TestWithParam<DiffRow> {};

// What either side of a diff keeps is no difference; a status file compares
// its four switches only; a file that is no profile, or a profile given with
// other choices, is refused before any port is opened.
TEST_P(ProfileRuns, ExitStatusAndLines)
{
    const DiffRow& row = GetParam();
    Write("buzzer.json", R"({"format": "kalo-profile/1", "switches": {"6": {"2": "on"}}, "comment": "shops"})");
    Write("quiet.json", R"({"format": "kalo-profile/1", "switches": {"6": {"2": "off", "1": "keep"}},
                            "powerSave": "keep", "entranceTime": 60})");
    Write("bad.json", R"({"format": "kalo-profile/1", "switches": {"6": {"9": "on"}}})");
    std::FILE* sts = std::fopen((Folder() + "empty.sts").c_str(), "wb");
    std::fclose(sts); // a status file of zeros: every pin of its four switches kept
    InProcessPlatform machine(row.printer);
    const Result run = Kalo(row.args, machine);
    EXPECT_EQ(run.status, row.status);
    EXPECT_EQ(run.out, row.out);
    EXPECT_EQ(run.err.substr(0, row.err.size()), row.err) << run.err;
    const bool printer = row.args[0] != "diff" || std::count(row.args.begin(), row.args.end(), "printer") > 0;
    EXPECT_EQ(machine.lastLink != nullptr, printer && row.status != 2);
}

INSTANTIATE_TEST_SUITE_P(
    Profile, ProfileRuns,
    ::testing::ValuesIn(std::vector<DiffRow>{
        {"FileFileSame", {"diff", "DIR/buzzer.json", "DIR/buzzer.json"}, {}, 0, "", ""},
        {"FileFileDifferent", {"diff", "DIR/buzzer.json", "DIR/quiet.json"}, {}, 3, kBuzzerOff, ""},
        {"KeptIsNoDifference", {"diff", "DIR/quiet.json", "DIR/empty.sts"}, {}, 0, "", ""},
        {"FilePrinterSame", {"diff", "DIR/buzzer.json", "printer"}, Reference(), 0, "", ""},
        {"FilePrinterDifferent", {"diff", "printer", "DIR/quiet.json"}, Reference(), 3,
         kBuzzerOff + "entrance-time: 45 -> 60\n", ""},
        {"PrinterPrinter", {"diff", "printer", "printer"}, Reference(), 0, "", ""},
        {"SilentPrinter", {"diff", "DIR/buzzer.json", "printer"}, Faulty({"silent"}), 1, "", ""},
        {"BadProfile", {"diff", "DIR/bad.json", "printer"}, {}, 2, "",
         "kaloctl diff: " + Folder() + "bad.json: /switches/6/9: not a pin (1-8)\n"},
        {"ProfileWithAPin", {"set-status", "--profile", "DIR/buzzer.json", "--pin", "6:2=on"}, {}, 2, "",
         "kaloctl set-status: --profile names the whole status; give it without --load, --pin, --power-save, "
         "--entrance-time and the settings\n"},
        {"ProfileNotThere", {"set-status", "--profile", "DIR/none.json"}, {}, 2, "", "kaloctl set-status: "},
        {"FontDownloadChecked", {"set-status", "--double-byte-font", "KS5601", "--dry-run"}, {}, 2, "",
         "kaloctl set-status: a font download goes with none of --if-different, --dry-run, --verify and --json"},
    }),
    [](const ::testing::TestParamInfo<DiffRow>& row) { return std::string(row.param.name); });

struct ApplyRow {
    const char* name;
    std::vector<std::string> args;
    PrinterOptions printer;
    int status;
    nlohmann::json outcome;      // the JSON object printed
    std::pair<int, int> writes;  // switch writes and power-save writes sent
    uint8_t switch6;             // what the printer holds afterwards
    std::string err;
};

class ProfileApply : public ::testing::TestWithParam<ApplyRow> {};

// What each way of applying reads, sends and says. A dry run and an
// unchanged printer get no switch or power-save write at all; --verify
// names every pin the printer did not take.
TEST_P(ProfileApply, SendsOnlyWhatItShould)
{
    const ApplyRow& row = GetParam();
    Write("apply.json", R"({"format": "kalo-profile/1", "switches": {"6": {"2": "on"}, "1": {"8": "on"}},
                            "powerSave": true})");
    InProcessPlatform machine(row.printer);
    std::vector<std::string> args = {"set-status", "--profile", "DIR/apply.json", "--json"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const Result run = Kalo(args, machine);
    EXPECT_EQ(run.status, row.status);
    EXPECT_EQ(nlohmann::json::parse(run.out), row.outcome);
    EXPECT_EQ(Writes(machine), row.writes);
    EXPECT_EQ(machine.Printer().SwitchBits(5), row.switch6);
    EXPECT_EQ(run.err, row.err);
    EXPECT_FALSE(machine.Printer().InUserSetting());
}

const auto kDifferences = nlohmann::json::parse(R"([
    {"switch": "1", "pin": "8", "label": "[PIN 8] Reserved", "from": "off", "to": "on"},
    {"switch": "6", "pin": "2", "label": "[PIN 2] Auto Internal buzzer control", "from": "off", "to": "on"},
    {"setting": "power-save", "from": "off", "to": "on"}])");

nlohmann::json Outcome(bool changed, bool written, nlohmann::json verified, nlohmann::json differences,
                       const std::string& message)
{
    return {{"changed", changed}, {"written", written}, {"verified", verified}, {"differences", differences},
            {"message", message}};
}

PrinterOptions Applied()
{
    PrinterOptions options;
    options.switches[0] = 0x80;
    options.switches[5] = 0x02;
    options.powerSave = true;
    return options;
}

const std::string kSuccess = "Success to set status of printer";

INSTANTIATE_TEST_SUITE_P(
    Profile, ProfileApply,
    ::testing::ValuesIn(std::vector<ApplyRow>{
        {"IfDifferentAlreadyApplied", {"--if-different"}, Applied(), 0,
         Outcome(false, false, nullptr, nlohmann::json::array(), "The printer already holds this status; nothing was written"),
         {0, 0}, 0x02, ""},
        {"DryRun", {"--dry-run"}, {}, 0,
         Outcome(true, false, nullptr, kDifferences, "Set Status would change the above; nothing was written (dry run)"),
         {0, 0}, 0x00, ""},
        {"Verified", {"--verify"}, {}, 0,
         Outcome(true, true, true, nlohmann::json::array(), kSuccess + "; read back: the printer holds every pin asked"),
         {8, 1}, 0x02, ""},
        {"VerifyStuckPins", {"--verify", "--if-different"}, Faulty({"stuck=6:2", "stuck=1:8"}), 1,
         Outcome(true, true, false, kDifferences, "switch 1 pin 8 did not take 'on'; switch 6 pin 2 did not take 'on'"),
         {8, 1}, 0x00, "kaloctl set-status: switch 1 pin 8 did not take 'on'; switch 6 pin 2 did not take 'on'\n"},
        {"SilentPrinter", {"--if-different"}, Faulty({"silent"}), 1,
         Outcome(false, false, nullptr, nlohmann::json::array(), "the printer could not be used (standard error says why)"),
         {0, 0}, 0x00, "Fail to get printer ID.\n\nPlease retry connect\n"},
    }),
    [](const ::testing::TestParamInfo<ApplyRow>& row) { return std::string(row.param.name); });

// set-status --profile sends what the same choices made by name send: the
// window's Set Status bytes, "keep" as '2'.
TEST(ProfileCommands, SendsWhatTheOptionsSend)
{
    Write("named.json", R"({"format": "kalo-profile/1", "settings": {"code-page": "Katakana", "emulation": "Emulation 3"},
                            "switches": {"6": {"2": "on"}, "2": {"3": "on"}}, "powerSave": false, "entranceTime": 99})");
    InProcessPlatform byProfile, byName;
    ASSERT_EQ(Kalo({"set-status", "--profile", "DIR/named.json"}, byProfile).status, 0);
    ASSERT_EQ(Kalo({"set-status", "--code-page", "Katakana", "--emulation", "3", "--pin", "6:2=on", "--pin", "2:3=on",
                    "--power-save", "off", "--entrance-time", "99"},
                   byName).status,
              0);
    EXPECT_EQ(WireOf(byProfile), WireOf(byName));
    const std::vector<uint8_t> write2 = {0x1D, 0x28, 0x45, 0x0A, 0x00, 0x03, 0x02, '0', '0', '0', '0', '1', '1', '2', '0'};
    const std::vector<uint8_t> wire = WireOf(byProfile);
    EXPECT_NE(std::search(wire.begin(), wire.end(), write2.begin(), write2.end()), wire.end());
}
