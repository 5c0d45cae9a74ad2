#include "cli/Kaloctl.h"
#include "platform/ChildProcesses.h"
#include "platform/LazyRegistryFile.h"
#include "platform/MemorySpooler.h"
#include "platform/posix/PosixSerialDevice.h"
#include "status/StatusFile.h"
#include "sim/InProcessPlatform.h"
#include "support/ChildProcess.h"
#include "support/FakeSysfs.h"
#include "support/FontImages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <netdb.h>
#include <sys/stat.h>
#include <sstream>
#include <unistd.h>

using kalo::cli::Kaloctl;
using kalo::sim::InProcessPlatform;
using kalo::sim::PrinterOptions;

namespace {

struct KaloRun {
    int status;
    std::string out;
    std::string err;
    bool opened;       // a device or a connection was opened, or a spooler queue changed
    bool readRegistry; // the registry file was looked for
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

KaloRun Kalo(const std::vector<std::string>& args, InProcessPlatform& machine, std::istream* in = nullptr)
{
    std::ostringstream out, err;
    bool located = false;
    const kalo::platform::LazyRegistryFile lazy([&located] { located = true; return std::string(); });
    const auto file = kalo::platform::RegistryFile::FromText(kRegistry);
    const kalo::CRegistryKey registry({&lazy, &file});
    g_spooler.queues = {{"Receipt COM1", "serial:/dev/ttyS0?baud=19200"}, {"Other", "serial:/dev/ttyS1"}};
    g_spooler.changes = 0;
    const int status = Kaloctl().Run(args, out, err, machine, g_spooler, registry, in);
    return {status, out.str(), err.str(), !machine.lastOpenedPath.empty() || machine.lastLink || g_spooler.changes,
            located};
}

KaloRun Kalo(const std::vector<std::string>& args, PrinterOptions options = {})
{
    InProcessPlatform machine(std::move(options));
    return Kalo(args, machine);
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

std::string Address(const kalo::test::VirtualPrinterProcess& printer)
{
    return printer.tcpAddress + ":" + std::to_string(printer.tcpPort);
}

const std::string kIdentified = "Printer is connected.\nMaker: KEMTRAN\nModel: TLR-740plusII\n";
// A Set Status cut short after the entry into user-setting mode went out.
const std::string kStopped = " of 187 bytes: the printer may still be in user-setting mode and may not hold the new "
                             "status. Switch the printer off and on, then press Set Status again.\n";
// What each link says when the printer has hung up.
const std::string kSerialGone = "write /dev/ttyS0: the device hung up\n";
const std::string kNetworkGone = "send 10.0.0.50:9100: Broken pipe\n";

} // namespace

// A serial port is taken from the spooler's queue and given back; the
// registry file is looked for only when a command names a printer.
TEST(Kaloctl, IdentifyOverEachLink)
{
    const struct {
        std::vector<std::string> args;
        int spoolerChanges;
        bool readsRegistry;
    } rows[] = {
        {{"identify"}, 2, false}, // COM1 by default
        {{"--parallel", "LPT1", "identify"}, 0, false},
        {{"--printer", "Custom_TLR-740II", "identify"}, 0, true},
        {{"identify", "--printer", "Receipt COM1"}, 2, true},
        {{"--target", "socket://10.0.0.50", "identify"}, 0, false},
        {{"--target", "serial:COM1?baud=19200", "identify"}, 2, false},
        {{"identify", "--tcp=10.0.0.50:9100"}, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        const KaloRun run = Kalo(row.args);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, kIdentified);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.readRegistry, row.readsRegistry);
        EXPECT_EQ(g_spooler.changes, row.spoolerChanges);
        EXPECT_EQ(g_spooler.UriOf("Receipt COM1"), "serial:/dev/ttyS0?baud=19200");
    }
}

// The rows below print as their names.
template <class Row>
    requires requires(const Row& row) { row.name; }
void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.name;
}

struct Refusal {
    const char* name;
    std::vector<std::string> args;
    std::string message; // the first line on standard error
};

class KaloctlRefuses : public ::testing::TestWithParam<Refusal> {};

// Refused arguments exit 2 with the option and what it takes, before any
// port is opened, any spooler queue is touched or the registry is read.
TEST_P(KaloctlRefuses, BeforeOpeningAnything)
{
    const KaloRun run = Kalo(GetParam().args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), GetParam().message);
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(run.opened);
    EXPECT_FALSE(run.readRegistry);
}

const std::string kBauds = "2400, 4800, 9600, 19200, 38400, 57600, 115200";
const std::string kBaud = "kaloctl: --baud takes " + kBauds + ", not '";
const std::string kTcpPort = "kaloctl: --tcp PORT takes 1-65535, not '";
const std::string kSet = "kaloctl set-status: ";
const std::string kOnlyOne =
    "kaloctl: give only one of --serial, --parallel, --usb, --usb-device, --tcp, --printer, --target";
std::string Entrance(const std::string& value)
{
    return kSet + "--entrance-time " + value + ": Enterance time should be from 6 to 255.";
}
const std::string kUnread = kSet + "Cannot read ", kNoFile = ": No such file or directory";
const std::string kSave = "kaloctl get-status: --save takes a file name ending in \"sts\", as Load takes, not '";

INSTANTIATE_TEST_SUITE_P(
    Kaloctl, KaloctlRefuses,
    ::testing::ValuesIn(std::vector<Refusal>{
        {"NoCommand", {}, "kaloctl: no command given"},
        {"UnknownCommand", {"frobnicate"}, "kaloctl: unknown command 'frobnicate'"},
        {"ExtraOperand", {"identify", "extra"}, "kaloctl identify: unexpected argument 'extra'"},
        {"UnknownOption", {"get-status", "--bogus"}, "kaloctl get-status: unknown option '--bogus'"},
        {"MissingValue", {"identify", "--data-bits"}, "kaloctl: --data-bits needs a value: 7, 8"},
        {"Parity", {"--parity", "sideways", "identify"},
         "kaloctl: --parity takes none, odd, even, mark, space, not 'sideways'"},
        {"DataBits", {"--data-bits", "9", "identify"}, "kaloctl: --data-bits takes 7, 8, not '9'"},
        {"BaudNotInTheList", {"--baud", "123", "identify"}, kBaud + "123'"},
        {"BaudNegative", {"--baud", "-9600", "identify"}, kBaud + "-9600'"},
        {"BaudWrapped", {"--baud", "4294976896", "identify"}, kBaud + "4294976896'"},
        {"SerialAndParallel", {"--parallel", "LPT1", "identify", "--serial", "COM1"}, kOnlyOne},
        {"ParallelNotInTheList", {"--parallel", "LPT4", "identify"},
         "kaloctl: --parallel takes LPT1, LPT2, LPT3, not 'LPT4'"},
        {"UsbAndUsbDevice", {"--usb-device", "K1", "--usb", "identify"}, kOnlyOne},
        {"TargetAndBaud", {"--target", "serial:COM1", "--baud", "19200", "identify"},
         "kaloctl: --target takes the line settings in its URI, not as --baud"},
        {"TargetMalformed", {"identify", "--target", "serial:COM1?parity=evn"},
         "kaloctl: --target: 'parity=evn' is not one of none, odd, even, mark, space"},
        {"UsbDeviceEmpty", {"--usb-device", "", "identify"},
         "kaloctl: --usb-device takes an entry as kaloctl list-usb prints it, or the printer's USB serial number, "
         "not ''"},
        {"ListUsbOperand", {"list-usb", "lp0"}, "kaloctl list-usb: unexpected argument 'lp0'"},
        {"TcpWithoutAddress", {"--tcp", ":9100", "identify"},
         "kaloctl: --tcp ADDRESS takes a dotted address or host name, not ''"},
        {"TcpPortZero", {"--tcp", "10.0.0.50:0", "identify"}, kTcpPort + "0'"},
        {"TcpPortTooHigh", {"--tcp", "host:65536", "identify"}, kTcpPort + "65536'"},
        {"TcpPortTrailingText", {"--tcp", "10.0.0.50:9100 x", "identify"}, kTcpPort + "9100 x'"},
        {"PinTrailingText", {"set-status", "--pin", "6:2=on garbage"},
         kSet + "--pin STATE takes on, off, keep, not 'on garbage'"},
        // Numbers that once wrapped round to switch 1 pin 2 and switch 6 pin 2.
        {"PinSwitchWrapped", {"set-status", "--pin", "4294967297:2=on"},
         kSet + "--pin SWITCH takes 1-6, 11, 12, not '4294967297'"},
        {"PinNumberWrapped", {"set-status", "--pin", "6:4294967298=on"}, kSet + "--pin PIN takes 1-8, not '4294967298'"},
        {"PinSwitchSeven", {"set-status", "--pin", "7:1=on"}, kSet + "--pin SWITCH takes 1-6, 11, 12, not '7'"},
        {"PinWithoutState", {"set-status", "--pin", "6:2"}, kSet + "--pin takes SWITCH:PIN=STATE, not '6:2'"},
        {"EntranceTimeLow", {"set-status", "--entrance-time", "5"}, Entrance("5")},
        {"EntranceTimeHigh", {"set-status", "--entrance-time", "256"}, Entrance("256")},
        {"EntranceTimeTrailingText", {"set-status", "--entrance-time", "30s"}, Entrance("30s")},
        {"EmulationSix", {"set-status", "--emulation", "6"},
         kSet + "--emulation takes 1, 2, 3, 4, 5, \"No Change\", \"Emulation 1 [Default]\", \"Emulation 2\", "
                "\"Emulation 3\", \"Emulation 4\", \"Emulation 5\" (in any case, or a beginning only one entry has), "
                "not '6'"},
        {"PowerSave", {"set-status", "--power-save", "maybe"}, kSet + "--power-save takes off, on, not 'maybe'"},
        {"SaveNotEndingInSts", {"get-status", "--save", "backup.STS"}, kSave + "backup.STS'"},
        {"SaveEmpty", {"get-status", "--save", ""}, kSave + "'"},
        {"ShowStsEmpty", {"show-sts", ""}, "kaloctl show-sts: FILE.sts is empty"},
        {"ShowStsMissing", {"show-sts", "--json"}, "kaloctl show-sts: FILE.sts is missing"},
        // An option's value is the next word, whatever it looks like: never a trace, a connection or help.
        {"ValueLikeAnOption", {"set-status", "--profile", "--trace", "--if-different", "--json"}, kUnread + "--trace" + kNoFile},
        {"ValueLikeHelp", {"set-status", "--json", "--profile", "-h"}, kUnread + "-h" + kNoFile},
        {"ValueInTheSameWord", {"--tcp=10.0.0.50", "set-status", "--profile=--serial"}, kUnread + "--serial" + kNoFile},
        {"InlineValueOnAFlag", {"--usb=lp0", "identify"}, "kaloctl: --usb takes no value, not 'lp0'"}}),
    [](const ::testing::TestParamInfo<Refusal>& row) { return std::string(row.param.name); });

TEST(Kaloctl, HelpListsEveryOptionOfTheTables)
{
    // Each kind of entry the tables give: a plain value, none, fields with a default, accepted values and a default.
    const std::vector<std::string> connection = {"--serial PORT", "--usb", "--tcp ADDRESS[:PORT]",
                                                 "(" + kBauds + "; default 9600)"};
    const struct {
        std::vector<std::string> args;
        std::string usage;
        std::vector<std::string> options;
    } rows[] = {
        {{"--help"}, "Usage: kaloctl [CONNECTION] COMMAND [OPTIONS]\n",
         {" show-sts decode", "--help, -h this text", "--version the program's version", "--trace FILE|-"}},
        {{"--version", "--tcp", "printer"}, "kaloctl ", {}},
        {{"identify", "--help"}, "Usage: kaloctl [CONNECTION] identify\n", {}},
        {{"-h", "get-status"}, "Usage: kaloctl [CONNECTION] get-status [OPTIONS]\n", {"--save FILE"}},
        {{"set-status", "--help"}, "Usage: kaloctl [CONNECTION] set-status [OPTIONS]\n",
         {"--profile FILE", "--if-different", "--pin SWITCH:PIN=STATE", "(SWITCH 1-6, 11, 12; PIN 1-8; STATE on, off, keep)"}},
        {{"show-sts", "--help"}, "Usage: kaloctl show-sts FILE.sts [OPTIONS]\n", {"--json"}},
        {{"diff", "--help"}, "Usage: kaloctl [CONNECTION] diff A B [OPTIONS]\n", {"--json", "'printer'"}},
        {{"list-usb", "--help"}, "Usage: kaloctl list-usb [OPTIONS]\n", {"--json"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args.front());
        const KaloRun run = Kalo(row.args);
        EXPECT_EQ(run.status, 0);
        EXPECT_FALSE(run.readRegistry);
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

// Text from a printer, a file or a device reaches the terminal with its
// control bytes as \xNN: a printer cannot retitle or clear the technician's
// terminal, and a completion candidate still reads back as the device's bytes.
TEST(Kaloctl, ShowsOutsideTextWithItsControlBytesEscaped)
{
    PrinterOptions printer;
    printer.firmware = "V1\x1b]0;pwned\a\x1b[2J";
    const std::string shown = "V1\\x1b]0;pwned\\x07\\x1b[2J";
    const std::string file = testing::TempDir() + "kalo-hostile-" + std::to_string(getpid());
    std::ofstream(file + ".json") << R"({"format": "kalo-profile/1", "V1\u001b]0;pwned\u0007\u001b[2J": 1})";
    InProcessPlatform machine(printer);
    machine.usbPrinters = {{"/dev/usb/lp1", "7a3c", "001e", printer.firmware}};
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"--trace", file + ".trace", "get-status"}, "Firmware Version : " + shown + "\n"},
        {{"trace-view", file + ".trace"}, "firmware \"" + shown + "\""},
        {{"diff", file + ".json", "printer"}, "/" + shown + ": unknown key"},
        {{"list-usb"}, "&serial=" + shown + "\t" + shown + "\n"},
        {{"--complete", "2", "kaloctl", "--usb-device", ""}, "\n$'" + shown + "'\n"},
    };
    for (const auto& [args, wanted] : rows) {
        SCOPED_TRACE(args.front());
        const KaloRun run = Kalo(args, machine);
        EXPECT_NE((run.out + run.err).find(wanted), std::string::npos) << run.out << run.err;
        EXPECT_EQ((run.out + run.err).find_first_of("\x1b\a"), std::string::npos) << run.out << run.err;
    }
    std::filesystem::remove(file + ".json");
    std::filesystem::remove(file + ".trace");
}

struct UsbRow {
    const char* name;
    std::vector<std::string> args;
    bool attached;          // the four devices below are plugged in
    int status;
    // Standard output: all of it, or how it begins for get-status; standard
    // error after the lines of the devices tried.
    std::string out, err;
    std::string openedNode; // the node the printer was reached on
};

class KaloctlUsb : public ::testing::TestWithParam<UsbRow> {};

const std::string kK1 = "742plusII:/dev/usb/lp1?vid_7a3c&pid_001e&serial=K1";
const std::string kK3 = "740II:/dev/usb/lp3?vid_7a3c&pid_001f&serial=K3";

// The printers are found as the main window's port list finds them, with
// the lines of the devices tried on standard error so standard output stays
// as it is documented: another maker's printer and a node the user may not
// open are left out, and the second printer is reached by its entry or serial.
TEST_P(KaloctlUsb, FindsThePrintersOfTheFamily)
{
    const UsbRow& row = GetParam();
    InProcessPlatform machine;
    std::string tried;
    if (row.attached) {
        machine.usbPrinters = {{"/dev/usb/lp0", "04b8", "0202", "X"}, {"/dev/usb/lp1", "7a3c", "001e", "K1"},
                               {"/dev/usb/lp2", "7a3c", "001d", ""}, {"/dev/usb/lp3", "7a3c", "001f", "K3"}};
        machine.usbRefusedNodes = {"/dev/usb/lp2"};
        const std::string lp2 = "/dev/usb/lp2?vid_7a3c&pid_001d&serial=";
        tried = "Attempting to open /dev/usb/lp0?vid_04b8&pid_0202&serial=X\nAttempting to open " + kK1.substr(10)
            + "\nAttempting to open " + lp2 + "\nFAILED to open " + lp2 + "\nAttempting to open " + kK3.substr(6) + "\n";
    }
    const KaloRun run = Kalo(row.args, machine);
    EXPECT_EQ(run.status, row.status);
    if (row.args.back() == "get-status")
        EXPECT_EQ(run.out.rfind(row.out, 0), 0u) << run.out;
    else
        EXPECT_EQ(run.out, row.out);
    EXPECT_EQ(run.err, tried + row.err);
    EXPECT_EQ(row.openedNode.empty() ? "" : machine.lastOpenedPath, row.openedNode);
    EXPECT_EQ(machine.openDevices, 0);
}

const std::string kLp2Refused = "kaloctl list-usb: open /dev/usb/lp2: Permission denied (the udev rule for the "
                                "printer or the lp group grants access)\n";

INSTANTIATE_TEST_SUITE_P(
    Kaloctl, KaloctlUsb,
    ::testing::ValuesIn(std::vector<UsbRow>{
        {"ListText", {"list-usb"}, true, 0, kK1 + "\tK1\n" + kK3 + "\tK3\n", kLp2Refused},
        {"ListJson", {"list-usb", "--json"}, true, 0,
         "[\n  {\n    \"entry\": \"" + kK1 + "\",\n    \"model\": \"TLR-742plusII\",\n    \"node\": \"/dev/usb/lp1\",\n"
         "    \"vendorId\": \"7a3c\",\n    \"productId\": \"001e\",\n    \"serial\": \"K1\"\n  },\n  {\n    \"entry\": \"" + kK3
         + "\",\n    \"model\": \"TLR-740II\",\n    \"node\": \"/dev/usb/lp3\",\n    \"vendorId\": \"7a3c\",\n"
           "    \"productId\": \"001f\",\n    \"serial\": \"K3\"\n  }\n]\n", kLp2Refused},
        {"ListNothing", {"list-usb", "--json"}, false, 0, "[]\n", ""},
        {"IdentifyFirst", {"--usb", "identify"}, true, 0, kIdentified, "", "/dev/usb/lp1"},
        {"IdentifyByEntry", {"identify", "--usb-device", kK3}, true, 0, kIdentified, "", "/dev/usb/lp3"},
        {"GetStatusBySerial", {"--usb-device", "K3", "get-status"}, true, 0, "Printer Model : TLR-740plusII\n", "",
         "/dev/usb/lp3"},
        {"NoPrinter", {"--usb", "identify"}, false, 1, "",
         "Printer is not connected by USB.\nPlease, turn on the printer!!\n"},
        // Another maker's printer is not the family's, whatever its serial.
        {"UnknownDevice", {"--usb-device", "X", "identify"}, true, 1, "",
         "No printer on USB is 'X'; kaloctl list-usb lists those found.\n"},
        {"EntryOfAnotherNode", {"--usb-device", "742plusII:/dev/usb/lp2?vid_7a3c&pid_001e&serial=K1", "identify"}, true,
         1, "", "No printer on USB is '742plusII:/dev/usb/lp2?vid_7a3c&pid_001e&serial=K1'; kaloctl list-usb lists "
                "those found.\n"}}),
    [](const ::testing::TestParamInfo<UsbRow>& named) { return std::string(named.param.name); });

// kaloctl as a technician runs it on real links: the printer identified, or
// each port failure said why on the line below the message, in the system's
// own words. (A refused connection is in the failure table below and in the
// loopback port test.) A pty is no parallel printer: it is refused at the
// status query, and the setting to change is named. A serial line's replies
// are read after fixed waits that a reply from a loaded machine can miss: the
// identification over one is on the virtual clock (IdentifyOverEachLink), and
// over a real pty only with a silent printer (FaultMatrixRealTime).
TEST(KaloctlProgram, IdentifiesOrSaysWhyThePortFailed)
{
    kalo::test::VirtualPrinterProcess printer({"--tcp", "0", "--pty", "--model", "TLR-740II", "--paper", "/dev/null"});
    ASSERT_FALSE(printer.ptyPath.empty());
    const std::string unknownHost = "kalo-no-such-host.invalid";
    // The resolver's words for it depend on the machine's resolver.
    addrinfo* found = nullptr;
    const int looked = getaddrinfo(unknownHost.c_str(), nullptr, nullptr, &found);
    if (found)
        freeaddrinfo(found);
    ASSERT_NE(looked, 0);

    const std::string identified = "Printer is connected.\nMaker: KEMTRAN\nModel: TLR-740II\n";
    const std::string cantOpen = "Can't open port and Printer is disconnected\n";
    const std::string pty = printer.ptyPath;
    const std::vector<std::string> com1 = {"--serial", "COM1"}, lpt1 = {"--parallel", "LPT1"};
    const struct {
        const char* what;
        std::vector<std::string> link; // COM1 and LPT1 are the device
        std::string device;
        bool asNobody, heldByUs;
        std::string out, err;
    } rows[] = {
        {"identified over TCP", {"--tcp", Address(printer)}, "", false, false, identified, ""},
        // Tests run as root; the pty's slave is root's alone, so a user without rights is run for real.
        {"permission denied", com1, pty, true, false, "",
         cantOpen + "open " + pty + ": Permission denied (add the user to the dialout group)\n"},
        {"missing device", com1, "/dev/kalo-missing-tty", false, false, "",
         cantOpen + "open /dev/kalo-missing-tty: No such file or directory (set KALO_PORT_COM1 to the device)\n"},
        {"busy device", com1, pty, false, true, "", cantOpen + "open " + pty + ": busy (another program holds it)\n"},
        {"unknown host", {"--tcp", unknownHost}, "", false, false, "",
         "Error : Failed to connected \nPlease, check IP port configuration in printer control pannel \"PORT\"\n" +
             cantOpen + "connect " + unknownHost + ":9100: " + gai_strerror(looked) + " (check the printer's address)\n"},
        {"not a parallel printer", lpt1, pty, false, false, "",
         cantOpen + "status " + pty + ": Inappropriate ioctl for device (set KALO_PORT_LPT1 to a parallel printer "
                                      "device)\n"},
        {"parallel permission denied", lpt1, pty, true, false, "",
         cantOpen + "open " + pty + ": Permission denied (add the user to the lp group)\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        kalo::platform::PosixSerialDevice holder;
        ASSERT_TRUE(!row.heldByUs || holder.Open(row.device) == kalo::platform::kOk);
        std::vector<std::string> args = row.link;
        args.push_back("identify");
        std::string program = KALO_KALOCTL_PATH;
        if (row.asNobody) {
            args.insert(args.begin(), {"--reuid=nobody", "--regid=nogroup", "--clear-groups", program});
            program = "/usr/bin/setpriv";
        }
        const auto run =
            kalo::test::RunProgram(program, args, {"KALO_PORT_COM1=" + row.device, "KALO_PORT_LPT1=" + row.device});
        EXPECT_EQ(run.status, row.out.empty() ? 1 : 0);
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, row.err);
    }
}

namespace {

const std::string kFolder = ::testing::TempDir() + "kaloctl-output-" + std::to_string(::getpid()) + "/";

// A trace of so many bytes, in failure lines, which trace-view reads fastest.
std::string TraceOf(size_t bytes)
{
    const std::string line = "7 error write /dev/ttyS0: " + std::string(270, 'x') + "\n";
    const std::string path = kFolder + "trace-" + std::to_string(bytes);
    std::ofstream out(path);
    for (size_t written = 0; written < bytes; written += line.size())
        out << line;
    return path;
}

// kaloctl with args, under a wrapper that sets up its standard output.
kalo::test::RunResult RunKaloctl(std::vector<std::string> wrapper, const std::vector<std::string>& args)
{
    wrapper.push_back(KALO_KALOCTL_PATH);
    wrapper.insert(wrapper.end(), args.begin(), args.end());
    return kalo::test::RunProgram(wrapper.front(), std::vector<std::string>(wrapper.begin() + 1, wrapper.end()));
}

// Standard output onto path, with files of at most so many 512-byte blocks;
// the test's pipe stays open as descriptor 3, so it ends with kaloctl.
std::vector<std::string> Onto(const std::string& path, int blocks = -1)
{
    return {"/bin/sh", "-c",
            (blocks < 0 ? "" : "ulimit -f " + std::to_string(blocks) + "; ") + "exec \"$0\" \"$@\" 3>&1 > " + path};
}

} // namespace

// A fleet runs kaloctl once per printer, so each stays small: its peak
// resident size over a get-status on TCP, reached through its URI, and over
// trace-view, which shows a trace as it reads it, the same for a trace of 5 MB
// and of 50 MB; measured as the fleet counts it. This process is made large
// first, as the figure must be the child's own and not the peak of the
// process that started it.
TEST(KaloctlProgram, StaysUnderTwelveMegabytes)
{
    if (KALO_SANITIZED)
        GTEST_SKIP() << "a sanitized kaloctl is several times larger and is not measured";
    std::filesystem::create_directories(kFolder);
    kalo::test::VirtualPrinterProcess printer({"--tcp", "0", "--paper", "/dev/null"});
    const std::vector<char> ballast(64 << 20, 1);
    struct Ends final : kalo::platform::ChildListener {
        void Output(int, kalo::platform::ChildStream, std::string_view) override {}
        void Ended(int, const kalo::platform::ChildExit& exit) override { ended.push_back(exit); }
        std::vector<kalo::platform::ChildExit> ended;
    } listener;
    const auto children = kalo::platform::NewChildProcesses();
    std::vector<int64_t> peaksKiB;
    for (const auto& args : std::vector<std::vector<std::string>>{{"--target", "socket://" + Address(printer), "get-status"},
                                                                  {"trace-view", TraceOf(5 << 20)},
                                                                  {"trace-view", TraceOf(50 << 20)}}) {
        SCOPED_TRACE(args.back());
        std::vector<std::string> argv = {"kaloctl"};
        argv.insert(argv.end(), args.begin(), args.end());
        listener.ended.clear();
        children->Start(KALO_KALOCTL_PATH, argv);
        while (listener.ended.empty())
            children->Wait(1000000, listener);
        EXPECT_EQ(listener.ended[0].code, 0);
        peaksKiB.push_back(listener.ended[0].peakKiB);
        EXPECT_GT(peaksKiB.back(), 0);
        EXPECT_LE(peaksKiB.back(), KALO_KALOCTL_PEAK_KB);
    }
    EXPECT_EQ(ballast[ballast.size() / 2], 1);
    EXPECT_GE(kalo::platform::OwnPeakKiB(), int64_t(ballast.size() >> 10));
    EXPECT_LT(peaksKiB[2], peaksKiB[1] + 2048);
    std::filesystem::remove_all(kFolder);
}

// Output that does not reach standard output whole is never a success, held
// to the end or written as it is made: exit 1 with the reason, or quietly for
// a reader that left. A trace cut short is exit 2 naming the file.
TEST(KaloctlProgram, LostOutputIsNeverASuccess)
{
    std::filesystem::create_directories(kFolder);
    const std::string trace = TraceOf(1 << 20), file = kFolder + "out";
    const std::string noRoom = "kaloctl: cannot write standard output: No space left on device\n";
    const std::string tooLarge = "kaloctl: cannot write standard output: File too large\n";
    const std::vector<std::string> readerGone = {
        "/usr/bin/python3", "-c",
        "import os, sys; os.dup2(1, 3); r, w = os.pipe(); os.close(r); os.dup2(w, 1); "
        "os.execv(sys.argv[1], sys.argv[1:])"};
    kalo::test::VirtualPrinterProcess printer({"--tcp", "0", "--paper", "/dev/null"});
    const std::string target = "socket://" + Address(printer);
    const struct {
        const char* name;
        std::vector<std::string> wrapper, args;
        int status;
        std::string err; // the end of standard error
    } rows[] = {
        {"held onto a full disk", Onto("/dev/full"), {"hex-to-bin", "41"}, 1, noRoom},
        {"held to a reader gone", readerGone, {"--target", target, "set-status", "--pin", "6:2=on"}, 1, ""},
        {"held cut short", Onto(file, 8), {"hex-to-bin", std::string(30000, '1')}, 1, tooLarge},
        {"live onto a full disk", Onto("/dev/full"), {"trace-view", trace}, 1, noRoom},
        {"live to a reader gone", readerGone, {"trace-view", trace}, 1, ""},
        {"live cut short", Onto(file, 128), {"trace-view", trace}, 1, tooLarge},
        {"trace cut short", Onto(file, 1), {"--trace", kFolder + "t", "--target", target, "set-status", "--pin", "6:2=on"},
         2, "kaloctl: cannot write the trace file '" + kFolder + "t': File too large\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const kalo::test::RunResult run = RunKaloctl(row.wrapper, row.args);
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(run.err.substr(run.err.size() - std::min(run.err.size(), row.err.size())), row.err) << run.err;
    }
    std::filesystem::remove_all(kFolder);
}

TEST(KaloctlProgram, FindsAndReadsAUsbPrinter)
{
    kalo::test::FakeSysfs tree;
    kalo::test::VirtualPrinterProcess printer({"--pty", "--model", "TLR-742plusII", "--paper", "/dev/null"});
    ASSERT_FALSE(printer.ptyPath.empty());
    tree.AddPrinter(0, "7a3c", "001e", "K1", "1-1");
    tree.LinkNode(0, printer.ptyPath);
    tree.AddPrinter(1, "7a3c", "001d", "F", "1-2");
    std::ofstream(tree.devRoot + "/plain") << "not a printer";
    tree.LinkNode(1, tree.devRoot + "/plain");
    const std::vector<std::string> environment = {"KALO_SYSFS_ROOT=" + tree.sysfsRoot, "KALO_DEV_ROOT=" + tree.devRoot};
    const std::string entry = "742plusII:" + tree.devRoot + "/usb/lp0?vid_7a3c&pid_001e&serial=K1";
    const std::string plain = tree.devRoot + "/usb/lp1?vid_7a3c&pid_001d&serial=F";
    const std::string tried = "Attempting to open " + entry.substr(10) + "\nAttempting to open " + plain
        + "\nFAILED to open " + plain + "\n";

    const auto listed = kalo::test::RunProgram(KALO_KALOCTL_PATH, {"list-usb"}, environment);
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, entry + "\tK1\n");
    EXPECT_EQ(listed.err.rfind(tried + "kaloctl list-usb: open " + tree.devRoot + "/usb/lp1: ", 0), 0u) << listed.err;

    const auto identified = kalo::test::RunProgram(KALO_KALOCTL_PATH, {"--usb", "identify"}, environment);
    EXPECT_EQ(identified.status, 0);
    EXPECT_EQ(identified.out, "Printer is connected.\nMaker: KEMTRAN\nModel: TLR-742plusII\n");
    EXPECT_EQ(identified.err, tried);
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
    EXPECT_NE(Flowing(shown.out).find("\"11\": [ { \"pin\": 1, \"state\": \"off\""), std::string::npos) << shown.out;
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
    const KaloRun run = Kalo({"--serial", "COM1", "set-status", "--code-page", "PC850 (Multilingual)", "--emulation",
                              "2", "--print-speed", "1", "--single-byte-font", "B", "--pin", "6:2=on", "--power-save",
                              "on"},
                             machine);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Success to set status of printer\n");
    // Print speed 1: pin 2; PC850: pin 5, pin 1 (double-byte country) cleared; emulation 2: pin 1; font B: pin 3;
    // switch 5 untouched; --pin 6:2=on; a code page clears switch 12.
    const auto& printer = machine.Printer();
    std::vector<int> bits;
    for (int slot = 0; slot < 8; ++slot)
        bits.push_back(printer.SwitchBits(slot));
    EXPECT_EQ(bits, (std::vector<int>{0x02, 0x10, 0x01, 0x04, 0xA5, 0x02, 0x00, 0x00}));
    EXPECT_TRUE(printer.PowerSave());
    EXPECT_EQ(printer.EntranceTime(), 50); // kept from the printer
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
    const KaloRun run = Kalo({"set-status", "--load", path}, machine);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Success to set status of printer\n");
    EXPECT_EQ(run.err, "kaloctl set-status: " + path +
                           " chooses the double-byte font \"KS5601(Korean)\"; switch 12 was written from it, "
                           "but the font image was not sent (kaloctl download-font 2 sends it)\n");
    EXPECT_EQ(machine.Printer().SwitchBits(7), 0x01);
    EXPECT_EQ(machine.Printer().SwitchBits(1) & 0x01, 0x01);
}

std::string Replace(std::string text, const std::string& what, const std::string& with)
{
    for (size_t at; (at = text.find(what)) != std::string::npos;)
        text.replace(at, what.size(), with);
    return text;
}

// Font downloads, with the font folder of the test's own (KALO_FONT_DIR).
struct FontRow {
    const char* name;
    std::vector<std::string> args; // DIR stands for the font folder
    std::string image;             // DIR/font-142.bin; empty for none
    int64_t hangUpAfter;           // font bytes the printer takes; -1 never
    int status;
    std::string out;
    std::string err; // DIR as above
    std::string paper; // the printer's last word; empty when no font byte may go out
    bool opens = true; // the port is opened
};

class KaloctlFont : public ::testing::TestWithParam<FontRow> {};

TEST_P(KaloctlFont, SendsTheImageOrSaysWhyNot)
{
    const FontRow& row = GetParam();
    const std::string dir = ::testing::TempDir() + "kaloctl-fonts-" + row.name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
    if (!row.image.empty())
        kalo::test::WriteFontImage(dir + "/font-142.bin", row.image);
    setenv("KALO_FONT_DIR", dir.c_str(), 1);
    std::vector<std::string> args;
    for (const std::string& arg : row.args)
        args.push_back(Replace(arg, "DIR", dir));
    // Before the font: the identification, and the check, power-save read and status write of set-status.
    const bool setStatus = row.args.front() == "set-status";
    PrinterOptions options;
    options.closeAfter = row.hangUpAfter == -1 ? -1 : 17 + (setStatus ? 20 + 4 + 146 : 0) + row.hangUpAfter;
    InProcessPlatform machine(options);
    const KaloRun run = Kalo(args, machine);
    unsetenv("KALO_FONT_DIR");
    EXPECT_EQ(run.status, row.status);
    EXPECT_EQ(run.out, row.out);
    EXPECT_EQ(run.err, Replace(row.err, "DIR", dir));
    if (row.paper.empty())
        EXPECT_EQ(machine.Printer().FontBytesReceived(), 0u);
    else
        EXPECT_EQ(machine.Paper().back(), row.paper);
    // Nothing is opened for an image that is not there to send.
    EXPECT_EQ(run.opened, row.opens);
}

const std::string kFontImage = kalo::test::FontImageBytes(615695);
const std::string kFontDone = "Success to Download Font!, And Reboot Printer\n";
const std::string kFontFailed = "Fail to download Font!\n";
const std::string kFontStopped = "The font download stopped after %1 of 615695 bytes. The printer holds a partial "
                                 "font until a download completes: run kaloctl download-font again.\n";
const std::string kFontComplete = "[font download complete: 615686 bytes]";

INSTANTIATE_TEST_SUITE_P(
    Kaloctl, KaloctlFont,
    ::testing::Values(
        FontRow{"ByName", {"--tcp", "10.0.0.50", "download-font", "gb2312"}, kFontImage, -1, 0, kFontDone, "",
                kFontComplete},
        FontRow{"GivenFileByNumberOverSerial", {"download-font", "3", "--file", "DIR/font-142.bin"}, kFontImage, -1, 0, kFontDone, "",
                kFontComplete},
        FontRow{"SetStatusGoesOn", {"set-status", "--double-byte-font", "GB2312(Simplified Chinese)"}, kFontImage, -1,
                0, "Success to Change the Firmware,\n And Now Start Font Download!\nWhen the download is finished, "
                   "kaloctl exits.\n" + kFontDone, "", kFontComplete},
        FontRow{"PrinterGone", {"--tcp", "10.0.0.50", "download-font", "3"}, kFontImage, 64 + 4096 * 5 + 10, 1, "",
                kFontFailed + Replace(kFontStopped, "%1", std::to_string(64 + 4096 * 5)) + kNetworkGone,
                "[font download incomplete: 20545 of 615686 bytes]"},
        FontRow{"SetStatusWithoutTheImage", {"set-status", "--double-byte-font", "GB2312"}, "", -1, 1, "",
                "Font image font-142.bin for \"GB2312(Simplified Chinese)\" was not found; looked in DIR.\n" +
                    kFontFailed, "", false},
        FontRow{"GivenFileDamaged", {"download-font", "3", "--file", "DIR/font-142.bin"}, "\x1c\x6c\x64\x73", -1, 1,
                "", "Font image DIR/font-142.bin is damaged: it holds 4 bytes, fewer than its 9-byte header.\n" +
                    kFontFailed, "", false},
        FontRow{"GivenFifo", {"download-font", "3", "--file", "DIR/fifo"}, kFontImage, -1, 1, "",
                "Cannot read DIR/fifo: it is a FIFO, not a regular file\n" + kFontFailed, "", false},
        FontRow{"NotADownloadableFont", {"download-font", "1"}, kFontImage, -1, 2, "",
                "kaloctl download-font: CHOICE takes 2, 3, 4, 5, 6, \"KS5601(Korean)\", \"GB2312(Simplified "
                "Chinese)\", \"BIG5(Traditional Chinese)\", \"BIG5_Serif[Chinese ]\", \"SHIFT-JIS(Japanese)\" (in "
                "any case, or a beginning only one entry has), not '1'\nTry 'kaloctl download-font --help'.\n",
                "", false},
        // A status write cut short starts no download.
        FontRow{"SetStatusCutShort", {"set-status", "--double-byte-font", "GB2312", "--entrance-time", "99"},
                kFontImage, -3, 1, "", "Set Status stopped after 184" + kStopped + kSerialGone, ""}),
    [](const ::testing::TestParamInfo<FontRow>& named) { return std::string(named.param.name); });

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
        args.push_back(Replace(arg, "FILE", path));
    const KaloRun run = Kalo(args, row.options);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, Replace(row.err, "FILE", path));
    if (row.out.empty())
        EXPECT_EQ(run.out, "");
    else
        EXPECT_NE(Flowing(run.out).find(row.out), std::string::npos) << run.out;
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
const std::vector<std::string> kSetStatus = {"set-status", "--emulation", "2", "--pin", "6:2=on", "--entrance-time",
                                             "99"};

std::vector<std::string> On(const char* link, std::vector<std::string> command)
{
    command.insert(command.begin(), {link[0] == 'C' ? "--serial" : "--tcp", link});
    return command;
}

INSTANTIATE_TEST_SUITE_P(
    Kaloctl, KaloctlFails,
    ::testing::ValuesIn(std::vector<Failure>{
        // No entry of the port list begins with "COM10", so no port is chosen.
        {"NoPortChosen", {"--printer", "Receipt COM10", "identify"}, {},
         "Port Configuration Set Error!\nconfigure: no port chosen\n"},
        // After the port's own box, shown through the platform.
        {"ConnectionRefused", {"--tcp", "10.0.0.50:65535", "identify"}, {},
         "Can't open port and Printer is disconnected\nconnect 10.0.0.50:65535: Connection refused\n"},
        {"ParallelPortWithoutDevice", {"--parallel", "LPT2", "identify"}, {},
         "Can't open port and Printer is disconnected\nopen /dev/lp1: No such file or directory (set KALO_PORT_LPT2 "
         "to the device)\n"},
        {"LoadNotSts", {"set-status", "--load", "x.STS"}, {}, "Wrong format files loaded.\n"},
        // The printer's own entrance time is kept only when the printer takes it.
        {"PrintersEntranceTime", {"set-status", "--power-save", "on"},
         With([](PrinterOptions& o) { o.entranceTime = 0; }), "Enterance time should be from 6 to 255.\n"},
        {"GetStatusInsideSwitch5", On("COM1", {"get-status", "--save", "FILE"}), HangsUpAfter(70),
         kNoAnswer + "memory switch 5, memory switch 6, memory switch 11, memory switch 12, power save" + kNoChange +
             kSerialGone + "kaloctl get-status: FILE not saved (--partial gives what did come)\n",
         "Entrance time: no answer"},
        {"GetStatusAfterSwitch2", On("10.0.0.50", {"get-status", "--json", "--save", "FILE"}),
         HangsUpAfter(kFirstSwitchQuery + 2 * 7),
         kNoAnswer + "memory switch 3, memory switch 4, memory switch 5, memory switch 6, memory switch 11, memory "
                     "switch 12, power save" + kNoChange + kNetworkGone +
             "kaloctl get-status: FILE not saved, no JSON printed (--partial gives what did come)\n"},
        {"GetStatusPartial", On("COM1", {"get-status", "--json", "--partial", "--save", "FILE"}),
         HangsUpAfter(kFirstSwitchQuery + 6 * 7 + 3), kNoAnswer + "memory switch 11, memory switch 12, power save" +
         kNoChange + kSerialGone, "\"powerSave\": null, \"entranceTime\": null, \"missing\": [ 11, 12, \"powerSave\" ],", true},
        {"GetStatusPartialOnlyPowerSave", On("10.0.0.50", {"get-status", "--json", "--partial"}),
         HangsUpAfter(kFirstSwitchQuery + 8 * 7 + 2), kNoAnswer + "power save" + kNoChange + kNetworkGone,
         "\"missing\": [ \"powerSave\" ],"},
        // set-status reads the power save first (4 bytes), then writes 146.
        {"SetStatusSerial", On("COM1", kSetStatus), HangsUpAfter(60), "Set Status stopped after 60" + kStopped + kSerialGone},
        // A socket's send fails whole: the 15 bytes of switch 1 do not count.
        {"SetStatusNetwork", On("10.0.0.50", kSetStatus), HangsUpAfter(60), "Set Status stopped after 49" + kStopped + kNetworkGone},
        {"SetStatusWithoutPowerSave", On("10.0.0.50", {"set-status", "--emulation", "2"}),
         HangsUpAfter(kFirstSwitchQuery + 2),
         "kaloctl set-status: the printer did not answer for power save, so the mode and entrance time to keep "
         "are not known; nothing was written (give both --power-save and --entrance-time to set them)\n"},
        {"PrintCodepage", On("10.0.0.50", {"print-codepage"}), HangsUpAfter(kIdentifyBytes + 2),
         "Print Codepage stopped after 17 of 21 bytes: the printer may not print its code page sheet. Check "
         "the printer and press Print Codepage again.\n" + kNetworkGone}}),
    [](const ::testing::TestParamInfo<Failure>& named) { return std::string(named.param.name); });

// The real programs on both kinds of real link: a printer that hangs up part
// way is never reported as a success, and nothing half read is saved. One
// row a test, so they run side by side.
struct HangUpRow {
    const char* name;
    std::vector<std::string> printer; // the link and fault of kalo-vprinter
    std::vector<std::string> args;    // ADDRESS and FILE stand for the printer's and the row's own
    std::string err;                  // how standard error begins
};

class KaloctlProgramHangUp : public ::testing::TestWithParam<HangUpRow> {};

TEST_P(KaloctlProgramHangUp, IsNeverASuccess)
{
    const HangUpRow& row = GetParam();
    const std::string path = ::testing::TempDir() + "kaloctl-program-cut-" + row.name + ".sts";
    std::remove(path.c_str());
    kalo::test::VirtualPrinterProcess printer(row.printer);
    std::vector<std::string> args;
    for (const std::string& arg : row.args)
        args.push_back(Replace(Replace(arg, "FILE", path), "ADDRESS", Address(printer)));
    const auto run = kalo::test::RunProgram(KALO_KALOCTL_PATH, args, {"KALO_PORT_COM3=" + printer.ptyPath});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind(row.err, 0), 0u) << run.err;
    kalo::StatusRecord saved;
    std::string error;
    EXPECT_FALSE(kalo::StatusFile::Load(path, saved, error));
}

INSTANTIATE_TEST_SUITE_P(
    RealLinks, KaloctlProgramHangUp,
    ::testing::Values(HangUpRow{"GetStatusOverTcp", {"--tcp", "0", "--paper", "/dev/null", "--fault", "close-after=70"},
                                {"--tcp", "ADDRESS", "get-status", "--save", "FILE"}, kNoAnswer + "memory switch 5,"},
                      HangUpRow{"SetStatusOverPty", {"--pty", "--paper", "/dev/null", "--fault", "close-after=60"},
                                On("COM3", kSetStatus), "Set Status stopped after "}),
    [](const ::testing::TestParamInfo<HangUpRow>& named) { return std::string(named.param.name); });

// The Command Test Editor's commands: what reaches the printer after the
// identification, what the conversions print, and files refused before any
// port is opened.
struct EditorRun {
    const char* name;
    std::vector<std::string> args; // @ stands for the row's own file
    std::string file;              // its bytes; "none", "big" (50 MB) or "fifo"
    std::string input;             // standard input
    int status;
    std::string out;
    std::string err;               // @ as above
    std::vector<std::vector<uint8_t>> written;
};

class KaloctlEditor : public ::testing::TestWithParam<EditorRun> {};

TEST_P(KaloctlEditor, SendsAndConverts)
{
    const EditorRun& row = GetParam();
    const std::string path = ::testing::TempDir() + "kaloctl-" + row.name + ".bin";
    std::remove(path.c_str());
    if (row.file == "big")
        std::filesystem::resize_file((std::ofstream(path), path), 50 << 20);
    else if (row.file == "fifo")
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    else if (row.file != "none")
        std::ofstream(path, std::ios::binary) << row.file;
    std::vector<std::string> args;
    for (const std::string& arg : row.args)
        args.push_back(Replace(arg, "@", path));
    std::istringstream input(row.input);
    InProcessPlatform machine;
    const KaloRun run = Kalo(args, machine, &input);
    EXPECT_EQ(run.status, row.status);
    EXPECT_EQ(run.out, row.out);
    EXPECT_EQ(run.err, Replace(row.err, "@", path));
    std::vector<std::vector<uint8_t>> written;
    int64_t identification = kIdentifyBytes;
    for (const auto& chunk : machine.lastLink ? machine.lastLink->Written() : std::vector<kalo::sim::InProcessLink::Chunk>{}) {
        if (identification > 0)
            identification -= int64_t(chunk.bytes.size());
        else
            written.push_back(chunk.bytes);
    }
    EXPECT_EQ(written, row.written);
    const bool printer = row.args[0] == "send" || row.args[0] == "test-print";
    EXPECT_EQ(run.opened, printer && row.status == 0);
    std::remove(path.c_str());
}

const std::string kTestLines = "Command Test String Line1\r\nCommand Test String Line2";
const std::string kBig = "Cannot load @: it is 52428800 bytes; a command file may have at most 1048576 bytes (1 MiB).\n";

INSTANTIATE_TEST_SUITE_P(
    Kaloctl, KaloctlEditor,
    ::testing::ValuesIn(std::vector<EditorRun>{
        {"SendText", {"send", "1b401\n0a"}, "none", "", 0, "", "", {{0x1B, 0x40, 0x01, 0x0A}}},
        {"SendFile", {"send", "--file", "@"}, "\x1b\x40\xff", "", 0, "", "", {{0x1B, 0x40, 0xFF}}},
        {"SendEmptyFile", {"send", "--file", "@"}, "", "", 0, "", "", {}},
        {"SendBigFile", {"send", "--file", "@"}, "big", "", 1, "", kBig, {}},
        {"SendFifo", {"send", "--file", "@"}, "fifo", "", 1, "",
         "Cannot read @: it is a FIFO, not a regular file\n", {}},
        {"SendNothing", {"send"}, "none", "", 2, "",
         "kaloctl send: give HEXTEXT or --file FILE\nTry 'kaloctl send --help'.\n", {}},
        {"SendBoth", {"send", "0a", "--file", "@"}, "none", "", 2, "",
         "kaloctl send: give HEXTEXT or --file FILE, not both\nTry 'kaloctl send --help'.\n", {}},
        {"TestPrint", {"test-print"}, "none", "", 0, "", "",
         {{kTestLines.begin(), kTestLines.end()}, {0x1B, 0x4A, 0xFF}}},
        {"HexToBinArgument", {"hex-to-bin", "1b401 -1"}, "none", "", 0, "\x1b\x40\x01\xff", "", {}},
        {"HexToBinInput", {"hex-to-bin"}, "none", "1 2 3\r\n", 0, "\x01\x02\x03", "", {}},
        {"BinToHexFile", {"bin-to-hex", "@"}, "\x1b\x40\x0a", "", 0, "1b 40 0a \n", "", {}},
        {"BinToHexInput", {"bin-to-hex"}, "none", std::string("\0\xff", 2), 0, "00 ff \n", "", {}},
        {"BinToHexEmptyFile", {"bin-to-hex", "@"}, "", "", 0, "\n", "", {}},
        {"BinToHexBigInput", {"bin-to-hex"}, "none", std::string((1 << 20) + 1, 'x'), 1, "",
         "Cannot read standard input: it has more than 1048576 bytes; a command file may have at most 1048576 "
         "bytes (1 MiB).\n", {}},
    }),
    [](const ::testing::TestParamInfo<EditorRun>& named) { return std::string(named.param.name); });
