#include "support/InProcessKaloctl.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>

using kalo::sim::InProcessPlatform;
using kalo::sim::PrinterOptions;

namespace {

// kaloctl over TCP to the machine's printer; DIR/ in an argument is the test's folder.
kalo::test::KaloRun Kalo(std::vector<std::string> args, InProcessPlatform& machine)
{
    args.insert(args.begin(), {"--tcp", "10.0.0.50"});
    return kalo::test::RunKaloctl(kalo::test::Replace(args, "DIR/", kalo::test::Scratch("")), machine);
}

void Write(const std::string& name, const std::string& text)
{
    std::ofstream(kalo::test::Scratch(name)) << text;
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

const std::string kBuzzerOff = "switch 6 pin 2 ([PIN 2] Auto Internal buzzer control): on -> off\n";

} // namespace

// A reference printer read into a profile and the profile written to
// another printer: the second holds the first one's switches and power save.
TEST(ProfileCommands, RoundTripFromPrinterToPrinter)
{
    InProcessPlatform reference(Reference()), other;
    const auto got = Kalo({"get-status", "--profile-out", "DIR/reference.json"}, reference);
    ASSERT_EQ(got.status, 0) << got.err;
    const auto applied = Kalo({"set-status", "--profile", "DIR/reference.json"}, other);
    EXPECT_EQ(applied.status, 0) << applied.err;
    for (int slot = 0; slot < 8; ++slot)
        EXPECT_EQ(other.Printer().SwitchBits(slot), reference.Printer().SwitchBits(slot)) << "slot " << slot;
    EXPECT_TRUE(other.Printer().PowerSave());
    EXPECT_EQ(other.Printer().EntranceTime(), 45);
}

// What either side of a diff keeps is no difference; a status file compares
// its four switches only; a file that is no profile, or a profile given with
// other choices, is refused before any port is opened.
TEST(ProfileCommands, DiffAndRefusalsExitStatusAndLines)
{
    Write("buzzer.json", R"({"format": "kalo-profile/1", "switches": {"6": {"2": "on"}}, "comment": "shops"})");
    Write("quiet.json", R"({"format": "kalo-profile/1", "switches": {"6": {"2": "off", "1": "keep"}},
                            "powerSave": "keep", "entranceTime": 60})");
    Write("bad.json", R"({"format": "kalo-profile/1", "switches": {"6": {"9": "on"}}})");
    Write("empty.sts", ""); // a status file of zeros: every pin of its four switches kept
    const std::string set = "kaloctl set-status: ";
    const struct {
        std::vector<std::string> args;
        PrinterOptions printer;
        int status;
        std::string out, err; // err: how it begins
    } rows[] = {
        {{"diff", "DIR/buzzer.json", "DIR/quiet.json"}, {}, 3, kBuzzerOff, ""},
        {{"diff", "DIR/quiet.json", "DIR/empty.sts"}, {}, 0, "", ""},
        {{"diff", "DIR/buzzer.json", "printer"}, Reference(), 0, "", ""},
        {{"diff", "printer", "DIR/quiet.json"}, Reference(), 3, kBuzzerOff + "entrance-time: 45 -> 60\n", ""},
        {{"diff", "DIR/quiet.json", "DIR/buzzer.json", "--json"}, {}, 3,
         "{\"same\": false, \"differences\": [{\"switch\": 6, \"pin\": 2, \"label\": \"[PIN 2] Auto Internal buzzer "
         "control\", \"from\": \"off\", \"to\": \"on\"}]}", ""},
        {{"diff", "DIR/buzzer.json", "printer"}, Faulty({"silent"}), 1, "", ""},
        {{"diff", "DIR/bad.json", "printer"}, {}, 2, "",
         "kaloctl diff: " + kalo::test::Scratch("bad.json") + ": /switches/6/9: not a pin (1-8)\n"},
        {{"set-status", "--profile", "DIR/buzzer.json", "--pin", "6:2=on"}, {}, 2, "",
         set + "--profile names the whole status; give it without --load, --pin, --power-save, --entrance-time and "
               "the settings\n"},
        {{"set-status", "--double-byte-font", "KS5601", "--dry-run"}, {}, 2, "",
         set + "a font download goes with none of --if-different, --dry-run, --verify and --json"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        InProcessPlatform machine(row.printer);
        const auto run = Kalo(row.args, machine);
        EXPECT_EQ(run.status, row.status);
        if (row.out.starts_with("{"))
            EXPECT_EQ(nlohmann::json::parse(run.out, nullptr, false), nlohmann::json::parse(row.out));
        else
            EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err.substr(0, row.err.size()), row.err) << run.err;
        const bool printer = row.args[0] != "diff" || std::count(row.args.begin(), row.args.end(), "printer") > 0;
        EXPECT_EQ(machine.lastLink != nullptr, printer && row.status != 2);
    }
}

// What each way of applying reads, sends and says. A dry run and an
// unchanged printer get no switch or power-save write at all; --verify
// names every pin the printer did not take.
TEST(ProfileCommands, ApplySendsOnlyWhatItShould)
{
    Write("apply.json", R"({"format": "kalo-profile/1", "switches": {"6": {"2": "on"}, "1": {"8": "on"}},
                            "powerSave": true})");
    const auto differences = nlohmann::json::parse(R"([
        {"switch": 1, "pin": 8, "label": "[PIN 8] Reserved", "from": "off", "to": "on"},
        {"switch": 6, "pin": 2, "label": "[PIN 2] Auto Internal buzzer control", "from": "off", "to": "on"},
        {"setting": "power-save", "from": "off", "to": "on"}])");
    const auto none = nlohmann::json::array();
    const auto outcome = [](bool changed, bool written, nlohmann::json verified, nlohmann::json found,
                            const std::string& message) {
        return nlohmann::json{{"changed", changed}, {"written", written}, {"verified", verified},
                              {"differences", found}, {"message", message}};
    };
    PrinterOptions applied;
    applied.switches[0] = 0x80;
    applied.switches[5] = 0x02;
    applied.powerSave = true;
    const std::string stuck = "switch 1 pin 8 did not take 'on'; switch 6 pin 2 did not take 'on'";
    const struct {
        std::vector<std::string> options;
        PrinterOptions printer;
        int status;
        nlohmann::json outcome;     // the JSON object printed
        std::pair<int, int> writes; // switch writes and power-save writes sent
        uint8_t switch6;            // what the printer holds afterwards
        std::string err;
    } rows[] = {
        {{"--if-different"}, applied, 0,
         outcome(false, false, nullptr, none, "The printer already holds this status; nothing was written"), {0, 0},
         0x02, ""},
        {{"--dry-run"}, {}, 0,
         outcome(true, false, nullptr, differences, "Set Status would change the above; nothing was written (dry run)"),
         {0, 0}, 0x00, ""},
        {{"--verify"}, {}, 0,
         outcome(true, true, true, none, "Success to set status of printer; read back: the printer holds every pin asked"),
         {8, 1}, 0x02, ""},
        {{"--verify", "--if-different"}, Faulty({"stuck=6:2", "stuck=1:8"}), 1, outcome(true, true, false, differences, stuck), {8, 1},
         0x00, "kaloctl set-status: " + stuck + "\n"},
        {{"--if-different"}, Faulty({"silent"}), 1,
         outcome(false, false, nullptr, none, "the printer could not be used (standard error says why)"), {0, 0}, 0x00,
         "Fail to get printer ID.\n\nPlease retry connect\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.outcome.dump());
        InProcessPlatform machine(row.printer);
        std::vector<std::string> args = {"set-status", "--profile", "DIR/apply.json", "--json"};
        args.insert(args.end(), row.options.begin(), row.options.end());
        const auto run = Kalo(args, machine);
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(nlohmann::json::parse(run.out), row.outcome);
        const std::string sent = kalo::test::Sent(machine);
        EXPECT_EQ(kalo::test::Occurrences(sent, "\x1d\x28\x45\x0a\x00\x03"), size_t(row.writes.first));
        EXPECT_EQ(kalo::test::Occurrences(sent, "\x08\x5e\x50\x30"), size_t(row.writes.second));
        EXPECT_EQ(machine.Printer().SwitchBits(5), row.switch6);
        EXPECT_EQ(run.err, row.err);
        EXPECT_FALSE(machine.Printer().InUserSetting());
    }
}

// set-status --profile sends what the same choices made by name send: the
// window's Set Status bytes, "keep" as '2'. Only what is named changes: a
// pin the settings do not touch (switch 5) and the entrance time are kept.
TEST(ProfileCommands, SendsWhatTheOptionsSend)
{
    Write("named.json", R"j({"format": "kalo-profile/1", "settings": {"code-page": "PC850 (Multilingual)",
                             "emulation": "Emulation 2", "print-speed": "Print speed 1",
                             "single-byte-font": "Font B (9x17)"}, "switches": {"6": {"2": "on"}}, "powerSave": true})j");
    PrinterOptions options;
    options.switches[4] = 0xA5;
    options.switches[7] = 0x02;
    options.entranceTime = 50;
    InProcessPlatform byProfile(options), byName(options);
    ASSERT_EQ(Kalo({"set-status", "--profile", "DIR/named.json"}, byProfile).status, 0);
    const auto named = Kalo({"set-status", "--code-page", "PC850 (Multilingual)", "--emulation", "2", "--print-speed", "1",
                             "--single-byte-font", "B", "--pin", "6:2=on", "--power-save", "on"},
                            byName);
    EXPECT_EQ(named.out, "Success to set status of printer\n");
    EXPECT_EQ(kalo::test::Sent(byProfile), kalo::test::Sent(byName));
    // Print speed 1: pin 2; PC850: pin 5, pin 1 (double-byte country) cleared; emulation 2: pin 1; font B: pin 3;
    // --pin 6:2=on; a code page clears switch 12.
    std::vector<int> bits;
    for (int slot = 0; slot < 8; ++slot)
        bits.push_back(byName.Printer().SwitchBits(slot));
    EXPECT_EQ(bits, (std::vector<int>{0x02, 0x10, 0x01, 0x04, 0xA5, 0x02, 0x00, 0x00}));
    EXPECT_TRUE(byName.Printer().PowerSave());
    EXPECT_EQ(byName.Printer().EntranceTime(), 50);
}
