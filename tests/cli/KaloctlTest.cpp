#include "cli/Kaloctl.h"
#include "platform/MemorySpooler.h"
#include "platform/RegistryFile.h"
#include "status/StatusFile.h"
#include "sim/InProcessPlatform.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <sstream>

using kalo::cli::Kaloctl;
using kalo::sim::InProcessPlatform;
using kalo::sim::PrinterOptions;

namespace {

struct KaloRun {
    int status;
    std::string out;
    std::string err;
    bool opened; // a device or a connection was opened, or a spooler queue changed
};

const char kRegistry[] = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Printers\Receipt COM1]
"Port"="COM1:"
[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Printers\Receipt COM10]
"Port"="COM10:"
[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports]
"COM1:"="19200,n,8,1"
[HKEY_LOCAL_MACHINE\SOFTWARE\KEMTRAN\TLR-740II\OXM\Custom]
"Port"="NET"
"TcpIp"="10.0.0.50"
"TcpPort"=dword:0000238c
)";

kalo::platform::MemorySpooler g_spooler;

KaloRun Kalo(const std::vector<std::string>& args, PrinterOptions options = {})
{
    InProcessPlatform machine(std::move(options));
    std::ostringstream out, err;
    const auto file = kalo::platform::RegistryFile::FromText(kRegistry);
    const kalo::CRegistryKey registry({&file});
    g_spooler.queues = {{"Receipt COM1", "serial:/dev/ttyS0?baud=19200"}, {"Other", "serial:/dev/ttyS1"}};
    g_spooler.changes = 0;
    Kaloctl kaloctl;
    const int status = kaloctl.Run(args, out, err, machine, g_spooler, registry);
    return {status, out.str(), err.str(), !machine.lastOpenedPath.empty() || machine.lastLink || g_spooler.changes};
}

// Help text with its line breaks and indents read as single spaces.
std::string Flowing(const std::string& text)
{
    std::string flowing;
    for (const char c : text) {
        const bool blank = c == ' ' || c == '\n';
        if (!blank || (!flowing.empty() && flowing.back() != ' '))
            flowing += blank ? ' ' : c;
    }
    return flowing;
}

std::string FirstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

} // namespace

TEST(Kaloctl, IdentifyOverEachLink)
{
    const std::string connected = "Printer is connected.\nMaker: KEMTRAN\nModel: TLR-740plusII\n";
    for (const auto& args : {std::vector<std::string>{"identify"},  // COM1 by default
                             std::vector<std::string>{"--serial", "COM1", "--baud", "19200", "identify"},
                             std::vector<std::string>{"identify", "--tcp", "10.0.0.50"},
                             std::vector<std::string>{"--tcp", "10.0.0.50:9100", "identify"},
                             std::vector<std::string>{"--printer", "Custom_TLR-740II", "identify"},
                             std::vector<std::string>{"identify", "--printer", "Receipt COM1"}}) {
        const KaloRun run = Kalo(args);
        EXPECT_EQ(run.status, 0) << args.back();
        EXPECT_EQ(run.out, connected);
        EXPECT_EQ(run.err, "");
    }
}

TEST(Kaloctl, IdentifyFreesTheSerialPortFromTheSpoolerAndGivesItBack)
{
    const KaloRun run = Kalo({"--serial", "COM1", "identify"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(g_spooler.changes, 2); // redirected, then restored
    EXPECT_EQ(g_spooler.UriOf("Receipt COM1"), "serial:/dev/ttyS0?baud=19200");
    EXPECT_EQ(Kalo({"--tcp", "10.0.0.50", "identify"}).status, 0);
    EXPECT_EQ(g_spooler.changes, 0); // a network printer leaves the spooler alone
}

struct Refusal {
    const char* name;
    std::vector<std::string> args;
    std::string message; // the first line on standard error
};

void PrintTo(const Refusal& refusal, std::ostream* out)
{
    *out << ::testing::PrintToString(refusal.args);
}

class KaloctlRefuses : public ::testing::TestWithParam<Refusal> {};

// Refused arguments exit 2 with the option and what it takes, before any
// port is opened or any spooler queue is touched.
TEST_P(KaloctlRefuses, BeforeOpeningAnything)
{
    const KaloRun run = Kalo(GetParam().args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(FirstLine(run.err), GetParam().message);
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(run.opened);
}

const std::string kBauds = "2400, 4800, 9600, 19200, 38400, 57600, 115200";

INSTANTIATE_TEST_SUITE_P(
    Kaloctl, KaloctlRefuses,
    ::testing::Values(
        Refusal{"NoCommand", {}, "kaloctl: no command given"},
        Refusal{"UnknownCommand", {"frobnicate"}, "kaloctl: unknown command 'frobnicate'"},
        Refusal{"ExtraOperand", {"identify", "extra"}, "kaloctl identify: unexpected argument 'extra'"},
        Refusal{"UnknownOption", {"get-status", "--bogus"}, "kaloctl get-status: unknown option '--bogus'"},
        Refusal{"MissingValue", {"identify", "--data-bits"}, "kaloctl: --data-bits needs a value: 7, 8"},
        Refusal{"Parity", {"--parity", "sideways", "identify"},
                "kaloctl: --parity takes none, odd, even, mark, space, not 'sideways'"},
        Refusal{"StopBits", {"--stop-bits", "3", "identify"}, "kaloctl: --stop-bits takes 1, 1.5, 2, not '3'"},
        Refusal{"DataBits", {"--data-bits", "9", "identify"}, "kaloctl: --data-bits takes 7, 8, not '9'"},
        Refusal{"BaudNotInTheList", {"--baud", "123", "identify"}, "kaloctl: --baud takes " + kBauds + ", not '123'"},
        Refusal{"BaudNegative", {"--baud", "-9600", "identify"}, "kaloctl: --baud takes " + kBauds + ", not '-9600'"},
        Refusal{"BaudWrapped", {"--baud", "4294976896", "identify"},
                "kaloctl: --baud takes " + kBauds + ", not '4294976896'"},
        Refusal{"SerialNotInTheList", {"--serial", "COM15", "identify"},
                "kaloctl: --serial takes COM1, COM2, COM3, COM4, COM5, COM6, COM7, COM8, COM9, \\\\.\\COM10, "
                "\\\\.\\COM11, \\\\.\\COM12, \\\\.\\COM13, \\\\.\\COM14, not 'COM15'"},
        Refusal{"SerialAndTcp", {"--serial", "COM1", "--tcp", "10.0.0.50", "identify"},
                "kaloctl: give only one of --serial, --tcp, --printer"},
        Refusal{"PrinterAndTcp", {"--printer", "Receipt COM1", "identify", "--tcp", "10.0.0.50"},
                "kaloctl: give only one of --serial, --tcp, --printer"},
        Refusal{"TcpWithoutAddress", {"--tcp", ":9100", "identify"},
                "kaloctl: --tcp ADDRESS takes a dotted address or host name, not ''"},
        Refusal{"TcpPortZero", {"--tcp", "10.0.0.50:0", "identify"}, "kaloctl: --tcp PORT takes 1-65535, not '0'"},
        Refusal{"TcpPortTooHigh", {"--tcp", "host:65536", "identify"}, "kaloctl: --tcp PORT takes 1-65535, not '65536'"},
        Refusal{"TcpPortTrailingText", {"--tcp", "10.0.0.50:9100 x", "identify"},
                "kaloctl: --tcp PORT takes 1-65535, not '9100 x'"},
        Refusal{"PinTrailingText", {"set-status", "--pin", "6:2=on garbage"},
                "kaloctl set-status: --pin STATE takes on, off, keep, not 'on garbage'"},
        Refusal{"PinSwitchWrapped", {"set-status", "--pin", "4294967297:2=on"},
                "kaloctl set-status: --pin SWITCH takes 1-6, 11, 12, not '4294967297'"},
        Refusal{"PinNumberWrapped", {"set-status", "--pin", "6:4294967298=on"},
                "kaloctl set-status: --pin PIN takes 1-8, not '4294967298'"},
        Refusal{"PinSwitchSeven", {"set-status", "--pin", "7:1=on"},
                "kaloctl set-status: --pin SWITCH takes 1-6, 11, 12, not '7'"},
        Refusal{"PinZero", {"set-status", "--pin", "6:0=on"}, "kaloctl set-status: --pin PIN takes 1-8, not '0'"},
        Refusal{"PinWithoutState", {"set-status", "--pin", "6:2"},
                "kaloctl set-status: --pin takes SWITCH:PIN=STATE, not '6:2'"},
        Refusal{"EntranceTimeLow", {"set-status", "--entrance-time", "5"},
                "kaloctl set-status: --entrance-time 5: Enterance time should be from 6 to 255."},
        Refusal{"EntranceTimeHigh", {"set-status", "--entrance-time", "256"},
                "kaloctl set-status: --entrance-time 256: Enterance time should be from 6 to 255."},
        Refusal{"EntranceTimeTrailingText", {"set-status", "--entrance-time", "30s"},
                "kaloctl set-status: --entrance-time 30s: Enterance time should be from 6 to 255."},
        Refusal{"EmulationSix", {"set-status", "--emulation", "6"},
                "kaloctl set-status: --emulation takes 1, 2, 3, 4, 5, \"No Change\", \"Emulation 1 [Default]\", "
                "\"Emulation 2\", \"Emulation 3\", \"Emulation 4\", \"Emulation 5\" (in any case, or a beginning only "
                "one entry has), not '6'"},
        Refusal{"PowerSave", {"set-status", "--power-save", "maybe"},
                "kaloctl set-status: --power-save takes off, on, not 'maybe'"},
        Refusal{"SaveNotEndingInSts", {"get-status", "--save", "backup.STS"},
                "kaloctl get-status: --save takes a file name ending in \"sts\", as Load takes, not 'backup.STS'"},
        Refusal{"SaveEmpty", {"get-status", "--save", ""},
                "kaloctl get-status: --save takes a file name ending in \"sts\", as Load takes, not ''"},
        Refusal{"LoadEmpty", {"set-status", "--load", ""}, "kaloctl set-status: --load takes a file name, not ''"},
        Refusal{"ShowStsEmpty", {"show-sts", ""}, "kaloctl show-sts: FILE.sts is empty"},
        Refusal{"ShowStsMissing", {"show-sts", "--json"}, "kaloctl show-sts: FILE.sts is missing"}),
    [](const ::testing::TestParamInfo<Refusal>& row) { return std::string(row.param.name); });

TEST(Kaloctl, HelpListsEveryOptionOfTheTables)
{
    const std::vector<std::string> connection = {
        "--serial PORT", "--baud RATE", "--data-bits BITS", "--parity PARITY", "--stop-bits BITS",
        "--flow FLOW", "--tcp ADDRESS[:PORT]", "--printer NAME", "(" + kBauds + "; default 9600)"};
    const struct {
        std::vector<std::string> args;
        std::string usage;
        std::vector<std::string> options;
    } rows[] = {
        {{"--help"}, "Usage: kaloctl [CONNECTION] COMMAND [OPTIONS]\n", {" show-sts decode"}},
        {{"identify", "--help"}, "Usage: kaloctl [CONNECTION] identify\n", {}},
        {{"-h", "get-status"}, "Usage: kaloctl [CONNECTION] get-status [OPTIONS]\n", {"--json", "--save FILE", "--partial"}},
        {{"set-status", "--help"}, "Usage: kaloctl [CONNECTION] set-status [OPTIONS]\n",
         {"--load FILE", "--code-page NAME", "--double-byte-font NAME", "--emulation NAME", "--print-speed NAME",
          "--single-byte-font NAME", "--power-save MODE", "--entrance-time SECONDS", "--pin SWITCH:PIN=STATE",
          "(6-255)", "(SWITCH 1-6, 11, 12; PIN 1-8; STATE on, off, keep)"}},
        {{"show-sts", "--help"}, "Usage: kaloctl show-sts FILE.sts [OPTIONS]\n", {"--json"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args.front());
        const KaloRun run = Kalo(row.args);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out.rfind(row.usage, 0), 0u) << run.out;
        std::vector<std::string> wanted = row.options;
        if (row.usage.find("[CONNECTION]") != std::string::npos)
            wanted.insert(wanted.end(), connection.begin(), connection.end());
        else
            EXPECT_EQ(run.out.find("--serial"), std::string::npos);
        for (const std::string& option : wanted)
            EXPECT_NE(Flowing(run.out).find(option), std::string::npos) << option;
    }
}

TEST(KaloctlProgram, IdentifiesTheVirtualPrinterEndToEnd)
{
    kalo::test::VirtualPrinterProcess good({"--tcp", "0", "--pty", "--model", "TLR-740II", "--paper", "/dev/null"});
    const std::string tcp = good.tcpAddress + ":" + std::to_string(good.tcpPort);
    auto run = kalo::test::RunProgram(KALO_KALOCTL_PATH, {"--tcp", tcp, "identify"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Printer is connected.\nMaker: KEMTRAN\nModel: TLR-740II\n");
    run = kalo::test::RunProgram(KALO_KALOCTL_PATH, {"--serial", "COM7", "identify"},
                                 {"KALO_PORT_COM7=" + good.ptyPath});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Printer is connected.\nMaker: KEMTRAN\nModel: TLR-740II\n");

    kalo::test::VirtualPrinterProcess bad({"--tcp", "0", "--fault", "wrong-id", "--paper", "/dev/null"});
    run = kalo::test::RunProgram(KALO_KALOCTL_PATH,
                                 {"--tcp", bad.tcpAddress + ":" + std::to_string(bad.tcpPort), "identify"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Fail to get printer ID.\n\nPlease retry connect\n");
}

TEST(Kaloctl, GetStatusPrintsEveryPinAndTheSettings)
{
    PrinterOptions options;
    options.switches[1] = 0x09; // switch 2: double-byte country, code page "Katakana"
    options.switches[6] = 0x80;
    options.powerSave = true;
    options.entranceTime = 45;
    const std::string path = ::testing::TempDir() + "kaloctl-get.sts";
    const KaloRun run = Kalo({"--tcp", "10.0.0.50", "get-status", "--save", path}, options);
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* line : {"Memory switch 11\n", "  pin 8  [PIN 8] Reserved: Disable (bit set)\n",
                             "Country: Double byte Country\n",
                             "Default code page: Katakana\n", "Power save: Enable\n", "Entrance time: 45 s\n",
                             "Printer Model : TLR-740plusII\n"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line;

    const KaloRun shown = Kalo({"show-sts", path, "--json"});
    EXPECT_EQ(shown.status, 0);
    EXPECT_NE(shown.out.find("\"11\": [{\"pin\": 1, \"state\": \"off\""), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("\"Emulation\": \"not in a status file\""), std::string::npos);
    EXPECT_EQ(Kalo({"show-sts", path + ".STS"}).err, "Wrong format files loaded.\n");
}

TEST(Kaloctl, SetStatusChangesOnlyWhatIsNamed)
{
    PrinterOptions options;
    options.switches[4] = 0xA5; // switch 5, never named below
    options.switches[7] = 0x02;
    options.entranceTime = 50;
    InProcessPlatform machine(options);
    std::ostringstream out, err;
    const auto file = kalo::platform::RegistryFile::FromText("");
    const kalo::CRegistryKey registry({&file});
    Kaloctl kaloctl;
    const int status = kaloctl.Run({"--serial", "COM1", "set-status", "--code-page", "PC850 (Multilingual)",
                                    "--emulation", "2", "--print-speed", "1", "--single-byte-font", "B", "--pin",
                                    "6:2=on", "--power-save", "on"},
                                   out, err, machine, g_spooler, registry);
    ASSERT_EQ(status, 0) << err.str();
    EXPECT_EQ(out.str(), "Success to set status of printer\n");
    const auto& printer = machine.Printer();
    EXPECT_EQ(printer.SwitchBits(0), 0x02);        // print speed 1: pin 2
    EXPECT_EQ(printer.SwitchBits(1), 0x10);        // PC850: pin 5; pin 1 cleared (single-byte country)
    EXPECT_EQ(printer.SwitchBits(2), 0x01);        // emulation 2: pin 1
    EXPECT_EQ(printer.SwitchBits(3), 0x04);        // font B: pin 3
    EXPECT_EQ(printer.SwitchBits(4), 0xA5);        // untouched
    EXPECT_EQ(printer.SwitchBits(5), 0x02);        // --pin 6:2=on
    EXPECT_EQ(printer.SwitchBits(7), 0x00);        // a code page clears switch 12
    EXPECT_TRUE(printer.PowerSave());
    EXPECT_EQ(printer.EntranceTime(), 50);         // kept from the printer
}

// A loaded double-byte choice goes out in switch 12 but starts no download,
// as Set Status after a Load does in the window.
TEST(Kaloctl, SetStatusLoadSendsNoFontImage)
{
    kalo::StatusRecord saved;
    saved.switchPins[1][1] = kalo::PinOn;  // double-byte country
    saved.switchPins[7][1] = kalo::PinOn;  // double-byte value 1
    saved.doubleByteFontIndex = 2;         // "KS5601(Korean)"
    const std::string path = ::testing::TempDir() + "kaloctl-korean.sts";
    std::string error;
    ASSERT_TRUE(kalo::StatusFile::Save(path, saved, error)) << error;

    InProcessPlatform machine;
    std::ostringstream out, err;
    const auto file = kalo::platform::RegistryFile::FromText("");
    const kalo::CRegistryKey registry({&file});
    Kaloctl kaloctl;
    EXPECT_EQ(kaloctl.Run({"set-status", "--load", path}, out, err, machine, g_spooler, registry), 0);
    EXPECT_EQ(out.str(), "Success to set status of printer\n");
    EXPECT_EQ(err.str(), "kaloctl set-status: " + path +
                             " chooses the double-byte font \"KS5601(Korean)\"; switch 12 was written from it, "
                             "but the double-byte font image was not sent\n");
    EXPECT_EQ(machine.Printer().SwitchBits(7), 0x01);
    EXPECT_EQ(machine.Printer().SwitchBits(1) & 0x01, 0x01);
}

// Bytes a command sends before its own: the identification (17), then the
// first printer check of a status command (20).
constexpr int64_t kIdentifyBytes = 17;
constexpr int64_t kFirstSwitchQuery = kIdentifyBytes + 20;

PrinterOptions With(void (*edit)(PrinterOptions&))
{
    PrinterOptions options;
    edit(options);
    return options;
}

// A printer with pins 1 and 8 of every switch on that hangs up after bytes.
PrinterOptions HangsUpAfter(int64_t bytes)
{
    PrinterOptions options;
    for (uint8_t& bits : options.switches)
        bits = 0x81;
    options.powerSave = true;
    options.closeAfter = bytes;
    return options;
}

struct Failure {
    const char* name;
    std::vector<std::string> args; // FILE stands for a status file of the row's own
    PrinterOptions options;
    std::string err;               // all of standard error, FILE as above
    std::string out;               // what standard output holds; empty for nothing
    bool saved = false;
};

void PrintTo(const Failure& row, std::ostream* out)
{
    *out << ::testing::PrintToString(row.args) << " close-after=" << row.options.closeAfter;
}

std::string WithPath(std::string text, const std::string& path)
{
    for (size_t at; (at = text.find("FILE")) != std::string::npos;)
        text.replace(at, 4, path);
    return text;
}

class KaloctlFails : public ::testing::TestWithParam<Failure> {};

// A refusal, a reply that did not come or a write cut short: exit 1, the
// reason on standard error, and no backup made of "No Change" rows unless
// --partial asks for one.
TEST_P(KaloctlFails, ExitsOneAndSaysWhy)
{
    const Failure& row = GetParam();
    const std::string path = ::testing::TempDir() + "kaloctl-" + row.name + ".sts";
    std::remove(path.c_str());
    std::vector<std::string> args;
    for (const std::string& arg : row.args)
        args.push_back(WithPath(arg, path));
    const KaloRun run = Kalo(args, row.options);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, WithPath(row.err, path));
    if (row.out.empty()) {
        EXPECT_EQ(run.out, "");
    } else {
        EXPECT_NE(Flowing(run.out).find(row.out), std::string::npos) << run.out;
    }
    kalo::StatusRecord saved;
    std::string error;
    EXPECT_EQ(kalo::StatusFile::Load(path, saved, error), row.saved) << error;
    if (row.saved) { // switch 1 was read, switch 11 was not
        EXPECT_EQ(saved.switchPins[0][8], kalo::PinOn);
        EXPECT_EQ(saved.switchPins[6][8], kalo::PinNoChange);
    }
}

const std::string kNoAnswer = "The printer did not answer for: ";
const std::string kNoChange = ". These show \"No Change\" and Set Status leaves them as they are.\n";
const std::string kSetStatusStopped = " of 187 bytes: the printer may not hold the new status. Check the printer and "
                                      "press Set Status again.\n";
const std::vector<std::string> kSetStatus = {"set-status", "--emulation", "2", "--pin", "6:2=on", "--entrance-time",
                                             "99"};

std::vector<std::string> Serial(std::vector<std::string> command)
{
    command.insert(command.begin(), {"--serial", "COM1"});
    return command;
}

std::vector<std::string> Tcp(std::vector<std::string> command)
{
    command.insert(command.begin(), {"--tcp", "10.0.0.50"});
    return command;
}

INSTANTIATE_TEST_SUITE_P(
    Kaloctl, KaloctlFails,
    ::testing::Values(
        Failure{"WrongModel", {"identify"}, With([](PrinterOptions& o) { o.model = "RP-F10"; }),
                "The connected printer has different Model name.\n"},
        Failure{"NoDevice", {"--serial", "COM2", "identify"}, {},
                "Can't open port and Printer is disconnected\n"
                "open /dev/ttyS1: No such file or directory (set KALO_PORT_COM2 to the device)\n"},
        // No entry of the port list begins with "COM10", so no port is chosen.
        Failure{"NoPortChosen", {"--printer", "Receipt COM10", "identify"}, {},
                "Port Configuration Set Error!\nconfigure: no port chosen\n"},
        // After the port's own box, shown through the platform.
        Failure{"ConnectionRefused", {"--tcp", "10.0.0.50:65535", "identify"}, {},
                "Can't open port and Printer is disconnected\nconnect 10.0.0.50:65535: Connection refused\n"},
        Failure{"LoadNotSts", {"set-status", "--load", "x.STS"}, {}, "Wrong format files loaded.\n"},
        Failure{"FontImageMissing", {"set-status", "--double-byte-font", "KS5601"}, {}, "Fail to download Font!\n",
                "And Now Start Font Download!"},
        // The printer's own entrance time is kept only when the printer takes it.
        Failure{"PrintersEntranceTime", {"set-status", "--power-save", "on"},
                With([](PrinterOptions& o) { o.entranceTime = 0; }), "Enterance time should be from 6 to 255.\n"},
        Failure{"GetStatusInsideSwitch5", Serial({"get-status", "--save", "FILE"}),
                HangsUpAfter(70),
                kNoAnswer + "memory switch 5, memory switch 6, memory switch 11, memory switch 12, power save" +
                    kNoChange + "kaloctl get-status: FILE not saved (--partial gives what did come)\n",
                "Entrance time: no answer"},
        Failure{"GetStatusAfterSwitch2", Tcp({"get-status", "--json", "--save", "FILE"}),
                HangsUpAfter(kFirstSwitchQuery + 2 * 7),
                kNoAnswer +
                    "memory switch 3, memory switch 4, memory switch 5, memory switch 6, memory switch 11, memory "
                    "switch 12, power save" +
                    kNoChange +
                    "kaloctl get-status: FILE not saved, no JSON printed (--partial gives what did come)\n"},
        Failure{"GetStatusPartial",
                Serial({"get-status", "--json", "--partial", "--save", "FILE"}),
                HangsUpAfter(kFirstSwitchQuery + 6 * 7 + 3),
                kNoAnswer + "memory switch 11, memory switch 12, power save" + kNoChange,
                "\"powerSave\": null, \"entranceTime\": null, \"missing\": [11, 12, \"powerSave\"],", true},
        Failure{"GetStatusPartialOnlyPowerSave", Tcp({"get-status", "--json", "--partial"}),
                HangsUpAfter(kFirstSwitchQuery + 8 * 7 + 2), kNoAnswer + "power save" + kNoChange,
                "\"missing\": [\"powerSave\"],"},
        // set-status reads the power save first (4 bytes), then writes 146.
        Failure{"SetStatusSerial", Serial(kSetStatus), HangsUpAfter(60),
                "Set Status stopped after 60" + kSetStatusStopped},
        // A socket's send fails whole: the 15 bytes of switch 1 do not count.
        Failure{"SetStatusNetwork", Tcp(kSetStatus), HangsUpAfter(60),
                "Set Status stopped after 49" + kSetStatusStopped},
        // A stopped write starts no font download.
        Failure{"SetStatusBeforeSelectPrinter",
                Serial({"set-status", "--double-byte-font", "KS5601", "--entrance-time", "99"}),
                HangsUpAfter(187 - 3), "Set Status stopped after 184" + kSetStatusStopped},
        Failure{"SetStatusWithoutPowerSave", Tcp({"set-status", "--emulation", "2"}),
                HangsUpAfter(kFirstSwitchQuery + 2),
                "kaloctl set-status: the printer did not answer for power save, so the mode and entrance time to keep "
                "are not known; nothing was written (give both --power-save and --entrance-time to set them)\n"},
        Failure{"PrintStatus", Serial({"print-status"}), HangsUpAfter(kFirstSwitchQuery + 2),
                "Print Status stopped after 39 of 41 bytes: the printer may not print its status sheet. Check the "
                "printer and press Print Status again.\n"},
        Failure{"PrintCodepage", Tcp({"print-codepage"}), HangsUpAfter(kIdentifyBytes + 2),
                "Print Codepage stopped after 17 of 21 bytes: the printer may not print its code page sheet. Check "
                "the printer and press Print Codepage again.\n"},
        Failure{"SelfTest", Serial({"self-test"}), HangsUpAfter(kIdentifyBytes + 3),
                "Self Test stopped after 20 of 24 bytes: the printer may not print its test page. Check the printer "
                "and press Self Test again.\n"}),
    [](const ::testing::TestParamInfo<Failure>& named) { return std::string(named.param.name); });

// The case as a technician meets it: a network printer that hangs up half way.
TEST(KaloctlProgram, GetStatusFromAPrinterThatHangsUpSavesNothing)
{
    kalo::test::VirtualPrinterProcess printer({"--tcp", "0", "--fault", "close-after=70", "--paper", "/dev/null"});
    const std::string path = ::testing::TempDir() + "kaloctl-program-cut.sts";
    std::remove(path.c_str());
    const auto run = kalo::test::RunProgram(
        KALO_KALOCTL_PATH,
        {"--tcp", printer.tcpAddress + ":" + std::to_string(printer.tcpPort), "get-status", "--save", path});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind(kNoAnswer + "memory switch 5,", 0), 0u) << run.err;
    kalo::StatusRecord saved;
    std::string error;
    EXPECT_FALSE(kalo::StatusFile::Load(path, saved, error));
}
