#include "platform/ChildProcesses.h"
#include "platform/LazyRegistryFile.h"
#include "platform/RegistryFile.h"
#include "status/StatusFile.h"
#include "support/ChildProcess.h"
#include "support/FakeSysfs.h"
#include "support/FontImages.h"
#include "support/InProcessKaloctl.h"
#include "support/RegistryText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using kalo::sim::InProcessPlatform;
using kalo::sim::PrinterOptions;
using kalo::test::Replace;
using kalo::test::Scratch;

namespace {

struct KaloRun : kalo::test::KaloRun {
    bool opened;       // a device or a connection was opened, or a spooler queue changed
    bool readRegistry; // the registry file was looked for
};

kalo::sim::MemorySpooler g_spooler;

KaloRun Kalo(const std::vector<std::string>& args, InProcessPlatform& machine, std::istream* in = nullptr)
{
    bool located = false;
    const kalo::platform::LazyRegistryFile lazy([&located] { located = true; return std::string(); });
    const auto file = kalo::platform::RegistryFile::FromText(kalo::test::kRegistryText);
    const kalo::CRegistryKey registry({&lazy, &file});
    g_spooler.queues = {{"Receipt COM1", "serial:/dev/ttyS0?baud=19200"}, {"Receipt COM3", "serial:/dev/ttyS2"},
                        {"Receipt COM10", "serial:/dev/ttyS9"}};
    g_spooler.changes = 0;
    const auto run = kalo::test::RunKaloctl(args, machine, {&g_spooler, &registry, in});
    return {run, !machine.lastOpenedPath.empty() || machine.lastLink || g_spooler.changes, located};
}

KaloRun Kalo(const std::vector<std::string>& args, PrinterOptions options = {})
{
    InProcessPlatform machine(std::move(options));
    return Kalo(args, machine);
}

// Text with its line breaks and indents read as single spaces.
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

const std::string kIdentified = "Printer is connected.\nMaker: KEMTRAN\nModel: TLR-740plusII\n";
// A Set Status cut short after the entry into user-setting mode went out.
const std::string kStopped = " of 187 bytes: the printer may still be in user-setting mode and may not hold the new "
                             "status. Switch the printer off and on, then run kaloctl set-status again.\n";
// What each link says when the printer has hung up.
const std::string kSerialGone = "write /dev/ttyS0: the device hung up\n";
const std::string kNetworkGone = "send 10.0.0.50:9100: Broken pipe\n";

// A command on a printer: a COM port or a network address.
std::vector<std::string> On(const char* link, std::vector<std::string> command)
{
    command.insert(command.begin(), {link[0] == 'C' ? "--serial" : "--tcp", link});
    return command;
}

} // namespace

// A serial port is taken from the spooler's queues and given back (COM1's
// from COM10's too, whose port text holds "COM1"); the registry file is
// looked for only when a command names a printer.
TEST(Kaloctl, IdentifyOverEachLink)
{
    const struct {
        std::vector<std::string> args;
        int spoolerChanges;
        bool readsRegistry;
        std::string device = "/dev/ttyS0"; // where the serial printer is
    } rows[] = {
        {{"--serial", "COM1", "identify"}, 4, false},
        {{"--parallel", "LPT1", "identify"}, 0, false},
        {{"--printer", "Custom_TLR-740II", "identify"}, 0, true},
        {{"identify", "--printer", "Receipt COM3"}, 2, true, "/dev/ttyS2"},
        {{"--target", "socket://10.0.0.50", "identify"}, 0, false},
        {{"--target", "serial:COM1?baud=19200", "identify"}, 4, false},
        {{"--serial", "/dev/ttyUSB0", "identify"}, 0, false, "/dev/ttyUSB0"},
        {{"--parallel", "/dev/lp0", "identify"}, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        InProcessPlatform machine;
        machine.serialPath = row.device;
        const KaloRun run = Kalo(row.args, machine);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, kIdentified);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.readRegistry, row.readsRegistry);
        EXPECT_EQ(g_spooler.changes, row.spoolerChanges);
        EXPECT_EQ(g_spooler.UriOf("Receipt COM1"), "serial:/dev/ttyS0?baud=19200");
        EXPECT_EQ(g_spooler.UriOf("Receipt COM3"), "serial:/dev/ttyS2");
        EXPECT_EQ(g_spooler.UriOf("Receipt COM10"), "serial:/dev/ttyS9");
    }
}

// Refused arguments exit 2 with the option and what it takes, before any
// port is opened, any spooler queue is touched or the registry is read.
TEST(Kaloctl, RefusesBeforeOpeningAnything)
{
    const std::string set = "kaloctl set-status: ";
    const std::string onlyOne =
        "kaloctl: give only one of --serial, --parallel, --usb, --usb-device, --tcp, --printer, --target";
    const auto unread = [&set](const std::string& file) { return set + "Cannot read " + file + ": No such file or directory"; };
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{}, "kaloctl: no command given"},
        {{"identfy"}, "kaloctl: unknown command 'identfy'; did you mean identify?"},
        {{"identify", "extra"}, "kaloctl identify: unexpected argument 'extra'"},
        {{"get-status", "--bogus"}, "kaloctl get-status: unknown option '--bogus'"},
        // Named where it stands, so its value is not taken for a command.
        {{"--tpc", "127.0.0.1", "identify"}, "kaloctl: unknown option '--tpc'; did you mean --tcp?"},
        // No printer is guessed, and nothing is written for nothing.
        {{"identify"}, "kaloctl: identify needs a printer: name it with one of --serial, --parallel, --usb, "
                       "--usb-device, --tcp, --printer, --target"},
        {{"--parallel", "/dev/ttyS0", "identify"}, "kaloctl: /dev/ttyS0 is a serial line, not a parallel port"},
        {{"--tcp", "10.0.0.50", "set-status"},
         set + "nothing to set: name a setting, --pin, --power-save, --entrance-time, --load or --profile"},
        {{"--tcp", "10.0.0.50", "set-status", "--code-page", "PC865"},
         set + "--code-page 'PC865' is ambiguous: \"PC865 (Nordic)\" or \"PC865/PC1252 (ADC)\""},
        {{"--parallel", "LPT1", "identify", "--serial", "COM1"}, onlyOne},
        {{"--target", "serial:COM1", "--baud", "19200", "identify"},
         "kaloctl: --target takes the line settings in its URI, not as --baud"},
        {{"--pace", "quick", "--tcp", "10.0.0.50", "identify"}, "kaloctl: --pace takes fixed, reply, not 'quick'"},
        // A first word KALO_PACE=WORD is the environment's.
        {{"KALO_PACE=quick", "--tcp", "10.0.0.50", "identify"}, "kaloctl: KALO_PACE is 'quick': it must be fixed or reply"},
        {{"set-status", "--entrance-time", "5"}, set + "--entrance-time 5: Enterance time should be from 6 to 255."},
        {{"get-status", "--save", "backup.STS"},
         "kaloctl get-status: --save takes a file name ending in \"sts\", as Load takes, not 'backup.STS'"},
        {{"show-sts", "--json"}, "kaloctl show-sts: FILE.sts is missing"},
        {{"watch", "--interval", "0.05"}, "kaloctl watch: --interval takes seconds from 0.1 to 86400, fractions allowed, "
                                          "not '0.05'"},
        {{"watch", "--targets", "t", "--profile", "p.json"}, "kaloctl watch: --profile and --drift-every go together"},
        // An option's value is the next word, whatever it looks like: never a trace, a connection or help.
        {{"set-status", "--profile", "--trace", "--if-different", "--json"}, unread("--trace")},
        {{"--tcp=10.0.0.50", "set-status", "--profile=--serial"}, unread("--serial")},
    };
    for (const auto& [args, message] : rows) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const bool environment = !args.empty() && args[0].starts_with("KALO_PACE=");
        setenv("KALO_PACE", environment ? args[0].substr(10).c_str() : "", 1);
        const KaloRun run = Kalo(environment ? std::vector(args.begin() + 1, args.end()) : args);
        unsetenv("KALO_PACE");
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), message);
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(run.opened);
        EXPECT_FALSE(run.readRegistry);
    }
    // A printer nothing knows is refused once the registry file and the queues are read.
    const KaloRun unknown = Kalo({"--printer", "Nowhere", "identify"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.err.starts_with("kaloctl: no printer 'Nowhere' ") && unknown.err.find("CUPS queues") != std::string::npos)
        << unknown.err;
    EXPECT_FALSE(unknown.opened);
}

// What a printer, a file or a device holds is shown in kaloctl's own lines,
// and outside text reaches the terminal with its control bytes as \xNN: a
// printer cannot retitle or clear the technician's terminal, and a
// completion candidate still reads back as the device's bytes.
TEST(Kaloctl, ShowsWhatPrintersAndFilesHoldWithControlBytesEscaped)
{
    PrinterOptions printer;
    printer.firmware = "V1\x1b]0;pwned\a\x1b[2J";
    printer.switches[1] = 0x09; // switch 2: double-byte country, code page "Katakana"
    printer.switches[6] = 0x80;
    printer.powerSave = true;
    printer.entranceTime = 45;
    const std::string shown = "V1\\x1b]0;pwned\\x07\\x1b[2J";
    const std::string file = Scratch("hostile");
    std::ofstream(file + ".json") << R"({"format": "kalo-profile/1", "V1\u001b]0;pwned\u0007\u001b[2J": 1})";
    InProcessPlatform machine(printer);
    machine.usbPrinters = {{"/dev/usb/lp1", "7a3c", "001e", printer.firmware}};
    const std::pair<std::vector<std::string>, std::vector<std::string>> rows[] = {
        {On("COM1", {"--trace", file + ".trace", "get-status", "--save", file + ".sts"}),
         {"Firmware Version : " + shown + "\n", "Memory switch 11\n", "  pin 8  [PIN 8] Reserved: Disable (bit set)\n",
          "Country: Double byte Country\n", "Default code page: Katakana\n", "Power save: Enable\n",
          "Entrance time: 45 s\n", "Printer Model : TLR-740plusII\n"}},
        {{"show-sts", file + ".sts", "--json"},
         {"\"11\": [ { \"pin\": 1, \"state\": \"off\"", "\"emulation\": \"not in a status file\""}},
        {{"show-sts", file + ".STS"}, {"Wrong format files loaded.\n"}},
        {{"trace-view", file + ".trace"}, {"firmware \"" + shown + "\""}},
        {{"diff", file + ".json", "printer"}, {"/" + shown + ": unknown key"}},
        {{"list-usb"}, {"&serial=" + shown + "\t" + shown + "\n"}},
        {{"--complete", "2", "kaloctl", "--usb-device", ""}, {"\n$'" + shown + "'\n"}},
    };
    for (const auto& [args, wanted] : rows) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const KaloRun run = Kalo(args, machine);
        const std::string said = run.out + run.err;
        for (const std::string& part : wanted)
            EXPECT_TRUE(said.find(part) != std::string::npos || Flowing(said).find(part) != std::string::npos) << part;
        EXPECT_EQ(said.find_first_of("\x1b\a"), std::string::npos) << said;
    }
}

// The printers are found as the main window's port list finds them, with
// the lines of the devices tried on standard error so standard output stays
// as it is documented: another maker's printer and a node the user may not
// open are left out, and the second printer is reached by its entry or serial.
TEST(Kaloctl, FindsTheUsbPrintersOfTheFamily)
{
    const std::string k1 = "742plusII:/dev/usb/lp1?vid_7a3c&pid_001e&serial=K1";
    const std::string k3 = "740II:/dev/usb/lp3?vid_7a3c&pid_001f&serial=K3";
    const std::string lp2 = "/dev/usb/lp2?vid_7a3c&pid_001d&serial=";
    const std::string tried = "Attempting to open /dev/usb/lp0?vid_04b8&pid_0202&serial=X\nAttempting to open "
        + k1.substr(10) + "\nAttempting to open " + lp2 + "\nFAILED to open " + lp2 + "\nAttempting to open "
        + k3.substr(6) + "\n";
    const std::string refused = "kaloctl list-usb: open /dev/usb/lp2: Permission denied (the udev rule for the "
                                "printer or the lp group grants access)\n";
    const std::string notFound = "'; kaloctl list-usb lists those found.\n";
    const struct {
        std::vector<std::string> args;
        bool attached; // the four devices below are plugged in
        int status;
        std::string out;  // all of it, or how it begins for get-status
        std::string err;  // after the lines of the devices tried
        std::string node; // the node the printer was reached on
    } rows[] = {
        {{"list-usb"}, true, 0, k1 + "\tK1\n" + k3 + "\tK3\n", refused},
        {{"list-usb", "--json"}, true, 0,
         "[\n  {\n    \"entry\": \"" + k1 + "\",\n    \"model\": \"TLR-742plusII\",\n    \"node\": \"/dev/usb/lp1\",\n"
         "    \"vendorId\": 31292,\n    \"productId\": 30,\n    \"serial\": \"K1\"\n  },\n  {\n    \"entry\": \"" + k3
         + "\",\n    \"model\": \"TLR-740II\",\n    \"node\": \"/dev/usb/lp3\",\n    \"vendorId\": 31292,\n"
           "    \"productId\": 31,\n    \"serial\": \"K3\"\n  }\n]\n", refused},
        {{"--usb", "identify"}, true, 0, kIdentified, "", "/dev/usb/lp1"}, // not another maker's lp0
        {{"identify", "--usb-device", k3}, true, 0, kIdentified, "", "/dev/usb/lp3"},
        {{"--usb-device", "K3", "get-status"}, true, 0, "Printer Model : TLR-740plusII\n", "", "/dev/usb/lp3"},
        {{"--usb-device", "/dev/usb/lp3", "identify"}, true, 0, kIdentified, "", "/dev/usb/lp3"}, // opened, none tried
        {{"--usb", "identify"}, false, 1, "", "Printer is not connected by USB.\nPlease, turn on the printer!!\n"},
        // An entry whose node and serial are not one printer's.
        {{"--usb-device", "742plusII:" + lp2 + "K1", "identify"}, true, 1, "",
         "No printer on USB is '742plusII:" + lp2 + "K1" + notFound},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args) + (row.attached ? "" : " with none attached"));
        InProcessPlatform machine;
        if (row.attached) {
            machine.usbPrinters = {{"/dev/usb/lp0", "04b8", "0202", "X"}, {"/dev/usb/lp1", "7a3c", "001e", "K1"},
                                   {"/dev/usb/lp2", "7a3c", "001d", ""}, {"/dev/usb/lp3", "7a3c", "001f", "K3"}};
            machine.usbRefusedNodes = {"/dev/usb/lp2"};
        }
        const KaloRun run = Kalo(row.args, machine);
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(row.args.back() == "get-status" ? run.out.substr(0, row.out.size()) : run.out, row.out);
        const bool typedPath = row.args.size() > 1 && row.args[1].front() == '/';
        EXPECT_EQ(run.err, (row.attached && !typedPath ? tried : "") + row.err);
        EXPECT_EQ(row.node.empty() ? "" : machine.lastOpenedPath, row.node);
        EXPECT_EQ(machine.openDevices, 0);
    }
}

// An adapter is reached through a stable link to it, and listed
// with what its USB device says (a pty stands in for /dev/ttyUSB0, a fake
// sysfs tree for its description).
TEST(KaloctlProgram, ReachesASerialAdapterByItsPath)
{
    kalo::test::VirtualPrinterProcess printer({"--pty", "--paper", "/dev/null"});
    ASSERT_FALSE(printer.ptyPath.empty());
    kalo::test::FakeSysfs tree;
    tree.AddClassDevice("tty", "ttyUSB0", "1-1", {{"idVendor", "0403"}, {"idProduct", "6001"}, {"manufacturer", "FTDI"},
                                                  {"product", "FT232R USB UART"}, {"serial", "A5"}});
    const std::string adapter = tree.devRoot + "/ttyUSB0";
    std::filesystem::create_symlink(printer.ptyPath, adapter);
    const auto listed = kalo::test::RunProgram(KALO_KALOCTL_PATH, {"list-serial", "--json"},
                                               {"KALO_SYSFS_ROOT=" + tree.sysfsRoot, "KALO_DEV_ROOT=" + tree.devRoot});
    EXPECT_EQ(listed.out, "[\n  {\n    \"path\": \"" + adapter + "\",\n    \"description\": \"FTDI FT232R USB UART, "
                          "serial A5\",\n    \"vendorId\": 1027,\n    \"productId\": 24577,\n    \"serial\": \"A5\"\n  }\n]\n");
    const auto run = kalo::test::RunProgram(KALO_KALOCTL_PATH, {"--serial", adapter, "identify"}); // a link to a tty
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, kIdentified);
}

// The reply pace over a real line at 9600 baud, whose bytes take their
// time: the document the fixed pace reads (on the virtual clock, where its
// 13 s cost nothing).
TEST(KaloctlProgram, ReadsAPacedLineUnderTheReplyPace)
{
    kalo::test::VirtualPrinterProcess printer({"--pty", "--line-rate", "--paper", "/dev/null"});
    ASSERT_FALSE(printer.ptyPath.empty());
    const auto run = kalo::test::RunProgram(
        KALO_KALOCTL_PATH, {"--pace", "reply", "--serial", printer.ptyPath, "--baud", "9600", "get-status", "--json"});
    EXPECT_EQ(run.status, 0) << run.err;
    InProcessPlatform machine;
    EXPECT_EQ(run.out, Kalo({"--serial", "COM1", "get-status", "--json"}, machine).out);
}

// kaloctl status against the real virtual printer over TCP and a
// pseudo-terminal: its words and every exit status, under either pace.
TEST(KaloctlProgram, StatusOverRealLinks)
{
    const struct {
        std::vector<std::string> printer;
        const char* pace;
        std::string said;
        int status;
    } rows[] = {
        {{"--tcp", "0"}, "fixed", "Ready\n", 0},
        {{"--tcp", "0", "--state", "paper-near-end"}, "reply", "Paper near end\n", 4},
        {{"--pty", "--state", "cover-open,error=cutter"}, "reply", "Cover open, off line: auto-cutter error\n", 5},
        {{"--tcp", "0", "--fault", "silent"}, "reply", "Unknown\n", 1},
    };
    for (const auto& row : rows) {
        std::vector<std::string> printerArgs = row.printer;
        printerArgs.insert(printerArgs.end(), {"--paper", "/dev/null"});
        kalo::test::VirtualPrinterProcess printer(printerArgs);
        const std::vector<std::string> link = printer.ptyPath.empty()
            ? std::vector<std::string>{"--tcp", "127.0.0.1:" + std::to_string(printer.tcpPort)}
            : std::vector<std::string>{"--serial", printer.ptyPath};
        std::vector<std::string> args = {"--pace", row.pace};
        args.insert(args.end(), link.begin(), link.end());
        args.push_back("status");
        const auto run = kalo::test::RunProgram(KALO_KALOCTL_PATH, args);
        SCOPED_TRACE(row.said);
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_EQ(run.out, row.said);
    }
}

namespace {

// A trace of so many bytes, in failure lines, which trace-view reads fastest.
std::string TraceOf(size_t bytes)
{
    const std::string line = "7 error write /dev/ttyS0: " + std::string(270, 'x') + "\n";
    const std::string path = Scratch("trace-" + std::to_string(bytes));
    std::ofstream out(path);
    out << "# kalo 0.2, COM1, 9600,n,8,1,p\n";
    for (size_t written = 0; written < bytes; written += line.size())
        out << line;
    return path;
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
// trace-view, which shows a trace of 50 MB as it reads it; measured as the
// fleet counts it. This process is made large
// first, as the figure must be the child's own and not the peak of the
// process that started it.
TEST(KaloctlProgram, StaysUnderTwelveMegabytes)
{
    if (KALO_SANITIZED)
        GTEST_SKIP() << "a sanitized kaloctl is several times larger and is not measured";
    kalo::test::VirtualPrinterProcess printer({"--tcp", "0", "--paper", "/dev/null"});
    const std::vector<char> ballast(64 << 20, 1);
    struct Ends final : kalo::platform::ChildListener {
        void Output(int, kalo::platform::ChildStream, std::string_view) override {}
        void Ended(int, const kalo::platform::ChildExit& exit) override { ended.push_back(exit); }
        std::vector<kalo::platform::ChildExit> ended;
    } listener;
    const auto children = kalo::platform::NewChildProcesses();
    for (const auto& args : std::vector<std::vector<std::string>>{{"--target", "socket://" + printer.tcpAddress + ":" + std::to_string(printer.tcpPort), "get-status"},
                                                                  {"trace-view", TraceOf(50 << 20)}}) {
        SCOPED_TRACE(args.back());
        std::vector<std::string> argv = {"kaloctl"};
        argv.insert(argv.end(), args.begin(), args.end());
        listener.ended.clear();
        children->Start(KALO_KALOCTL_PATH, argv);
        while (listener.ended.empty())
            children->Wait(1000000, listener);
        EXPECT_EQ(listener.ended[0].code, 0);
        EXPECT_GT(listener.ended[0].peakKiB, 0);
        EXPECT_LE(listener.ended[0].peakKiB, KALO_KALOCTL_PEAK_KB);
    }
    EXPECT_EQ(ballast[ballast.size() / 2], 1);
    EXPECT_GE(kalo::platform::OwnPeakKiB(), int64_t(ballast.size() >> 10));
}

// Output that does not reach standard output whole is never a success, held
// to the end or written as it is made: exit 1 with the reason, or quietly for
// a reader that left. (A trace cut short is the trace's own test.)
TEST(KaloctlProgram, LostOutputIsNeverASuccess)
{
    const std::string trace = TraceOf(1 << 20), file = Scratch("out");
    const std::string cannot = "kaloctl: cannot write standard output: ";
    const std::vector<std::string> readerGone = {
        "/usr/bin/python3", "-c",
        "import os, sys; os.dup2(1, 3); r, w = os.pipe(); os.close(r); os.dup2(w, 1); "
        "os.execv(sys.argv[1], sys.argv[1:])"};
    const struct {
        const char* name;
        std::vector<std::string> wrapper, args;
        int status;
        std::string err; // the end of standard error
    } rows[] = {
        {"held onto a full disk", Onto("/dev/full"), {"hex-to-bin", "41"}, 1, cannot + "No space left on device\n"},
        {"to a reader gone", readerGone, {"trace-view", trace}, 1, ""},
        {"live cut short", Onto(file, 128), {"trace-view", trace}, 1, cannot + "File too large\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> args(row.wrapper.begin() + 1, row.wrapper.end());
        args.push_back(KALO_KALOCTL_PATH);
        args.insert(args.end(), row.args.begin(), row.args.end());
        const kalo::test::RunResult run = kalo::test::RunProgram(row.wrapper.front(), args);
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(run.err.substr(run.err.size() - std::min(run.err.size(), row.err.size())), row.err) << run.err;
    }
}

// Bytes a command sends before its own: the identification (17), then the
// first printer check of a status command (20).
constexpr int64_t kIdentifyBytes = 17;
constexpr int64_t kFirstSwitchQuery = kIdentifyBytes + 20;

// Font downloads, with the font folder of the test's own (KALO_FONT_DIR). A
// loaded double-byte choice goes out in switch 12 but starts no download, as
// Set Status after a Load does in the window.
TEST(Kaloctl, FontDownloadSendsTheImageOrSaysWhyNot)
{
    const std::string image = kalo::test::FontImageBytes(615695);
    const std::string done = "Success to Download Font!, And Reboot Printer\n";
    const std::string failed = "Fail to download Font!\n";
    const std::string complete = "[font download complete: 615686 bytes]";
    kalo::StatusRecord korean;
    korean.switchPins[1][1] = kalo::PinOn; // double-byte country
    korean.switchPins[7][1] = kalo::PinOn; // double-byte value 1
    korean.doubleByteFontIndex = 2;        // "KS5601(Korean)"
    std::string error;
    ASSERT_TRUE(kalo::StatusFile::Save(Scratch("korean.sts"), korean, error)) << error;
    const struct {
        std::vector<std::string> args; // DIR stands for the font folder
        std::string image;             // DIR/font-142.bin; empty for none
        int status;
        std::string out, err;          // DIR as above
        std::string paper;             // the printer's last word; empty when no font byte may go out
    } rows[] = {
        {{"--tcp", "10.0.0.50", "download-font", "gb2312"}, image, 0, done, "", complete},
        {{"set-status", "--double-byte-font", "GB2312(Simplified Chinese)"}, image, 0,
         "Success to Change the Firmware,\n And Now Start Font Download!\nWhen the download is finished, kaloctl exits.\n"
             + done, "", complete},
        {{"set-status", "--double-byte-font", "GB2312"}, "", 1, "",
         "Font image font-142.bin for \"GB2312(Simplified Chinese)\" was not found; looked in DIR.\n" + failed, ""},
        {{"set-status", "--load", Scratch("korean.sts")}, image, 0, "Success to set status of printer\n",
         "kaloctl set-status: " + Scratch("korean.sts") + " chooses the double-byte font \"KS5601(Korean)\"; switch 12 was "
         "written from it, but the font image was not sent (kaloctl download-font 2 sends it)\n", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        const std::string dir = Scratch("fonts");
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        if (!row.image.empty())
            kalo::test::WriteFontImage(dir + "/font-142.bin", row.image);
        setenv("KALO_FONT_DIR", dir.c_str(), 1);
        InProcessPlatform machine;
        const std::vector<std::string> args = Replace(row.args, "DIR", dir);
        const KaloRun run = Kalo(args[0] == "--tcp" ? args : On("COM1", args), machine);
        unsetenv("KALO_FONT_DIR");
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, Replace(row.err, "DIR", dir));
        if (row.paper.empty())
            EXPECT_EQ(machine.Printer().FontBytesReceived(), 0u);
        else
            EXPECT_EQ(machine.Paper().empty() ? "" : machine.Paper().back(), row.paper);
        // Nothing is opened for an image that is not there to send.
        EXPECT_EQ(run.opened, !row.image.empty());
        if (row.args[1] == "--load") {
            EXPECT_EQ(machine.Printer().SwitchBits(7), 0x01);
            EXPECT_EQ(machine.Printer().SwitchBits(1) & 0x01, 0x01);
        }
    }
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

// A refusal, a reply that did not come or a write cut short: exit 1, the
// reason on standard error, and no backup made of "No Change" rows unless
// --partial asks for one.
TEST(Kaloctl, FailuresExitOneAndSayWhy)
{
    const std::string noAnswer = "The printer did not answer for: ";
    const std::string noChange = ". These show \"No Change\" and Set Status leaves them as they are.\n";
    const std::vector<std::string> setStatus = {"set-status", "--emulation", "2", "--pin", "6:2=on",
                                                "--entrance-time", "99"};
    PrinterOptions noEntranceTime;
    noEntranceTime.entranceTime = 0;
    const std::string notes = Scratch("notes.txt");
    std::ofstream(notes) << "paper rolls: 12\n";
    const struct {
        std::vector<std::string> args; // FILE stands for a status file of the row's own
        PrinterOptions options;
        std::string err;               // all of standard error, FILE as above
        std::string out;               // what standard output holds; empty for nothing
        bool saved = false;
    } rows[] = {
        // After the port's own box, shown through the platform.
        {{"--parallel", "LPT2", "identify"}, {},
         "Can't open port and Printer is disconnected\nopen /dev/lp1: No such file or directory (set KALO_PORT_LPT2 "
         "to the device)\n"},
        {{"--serial", "/dev/ttyUSB9", "identify"}, {},
         "Port Configuration Set Error!\nopen /dev/ttyUSB9: No such file or directory\n"},
        // The printer's own entrance time is kept only when the printer takes it.
        {On("COM1", {"set-status", "--power-save", "on"}), noEntranceTime, "Enterance time should be from 6 to 255.\n"},
        {{"trace-view", notes}, {}, "kaloctl trace-view: " + notes + " is neither a kalo trace (--trace, KALO_TRACE) nor "
                                    "a kalo-vprinter wire log (--wire-log)\n"},
        {On("COM1", {"get-status", "--save", "FILE"}), HangsUpAfter(70),
         noAnswer + "memory switch 5, memory switch 6, memory switch 11, memory switch 12, power save" + noChange +
             kSerialGone + "kaloctl get-status: FILE not saved (--partial gives what did come)\n",
         "Entrance time: no answer"},
        {On("10.0.0.50", {"get-status", "--json", "--save", "FILE"}), HangsUpAfter(kFirstSwitchQuery + 2 * 7),
         noAnswer + "memory switch 3, memory switch 4, memory switch 5, memory switch 6, memory switch 11, memory "
                    "switch 12, power save" + noChange + kNetworkGone +
             "kaloctl get-status: FILE not saved, no JSON printed (--partial gives what did come)\n"},
        {On("COM1", {"get-status", "--json", "--partial", "--save", "FILE"}), HangsUpAfter(kFirstSwitchQuery + 6 * 7 + 3),
         noAnswer + "memory switch 11, memory switch 12, power save" + noChange + kSerialGone,
         "\"powerSave\": null, \"entranceTime\": null, \"missing\": [ 11, 12, \"powerSave\" ],", true},
        // set-status reads the power save first (4 bytes), then writes 146.
        {On("COM1", setStatus), HangsUpAfter(60), "Set Status stopped after 60" + kStopped + kSerialGone},
        // A socket's send fails whole: the 15 bytes of switch 1 do not count.
        {On("10.0.0.50", setStatus), HangsUpAfter(60), "Set Status stopped after 49" + kStopped + kNetworkGone},
        {On("10.0.0.50", {"set-status", "--emulation", "2"}), HangsUpAfter(kFirstSwitchQuery + 2),
         "kaloctl set-status: the printer did not answer for power save, so the mode and entrance time to keep "
         "are not known; nothing was written (give both --power-save and --entrance-time to set them)\n"},
    };
    const std::string path = Scratch("failed.sts");
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        std::filesystem::remove(path);
        const KaloRun run = Kalo(Replace(row.args, "FILE", path), row.options);
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
}

// The Command Test Editor's commands: what reaches the printer after the
// identification, what the conversions print, and files refused before any
// port is opened.
TEST(Kaloctl, EditorCommandsSendAndConvert)
{
    const std::string testLines = "Command Test String Line1\r\nCommand Test String Line2";
    const std::string tooBig = "; a command file may have at most 1048576 bytes (1 MiB).\n";
    const std::string again = "\nTry 'kaloctl send --help'.\n";
    const struct {
        std::vector<std::string> args; // @ stands for the row's own file
        std::string file;              // its bytes; "none" or "big" (50 MB)
        std::string input;             // standard input
        int status;
        std::string out, err;          // @ as above
        std::string written;           // what reached the printer after the identification
    } rows[] = {
        {{"send", "1b401\n0a"}, "none", "", 0, "", "", "\x1b\x40\x01\x0a"},
        {{"send", "--file", "@"}, "\x1b\x40\xff", "", 0, "", "", "\x1b\x40\xff"},
        {{"send", "--file", "@"}, "big", "", 1, "", "Cannot load @: it is 52428800 bytes" + tooBig, ""},
        {{"send"}, "none", "", 2, "", "kaloctl send: give HEXTEXT or --file FILE" + again, ""},
        {{"send", "0a", "--file", "@"}, "none", "", 2, "", "kaloctl send: give HEXTEXT or --file FILE, not both" + again,
         ""},
        {{"test-print"}, "none", "", 0, "", "", testLines + "\x1b\x4a\xff"},
        {{"hex-to-bin", "1b401 -1"}, "none", "", 0, "\x1b\x40\x01\xff", "", ""},
        {{"bin-to-hex", "@"}, "\x1b\x40\x80\xff", "", 0, "1b 40 80 ff \n", "", ""},
        {{"bin-to-hex"}, "none", std::string("\0\xff", 2), 0, "00 ff \n", "", ""},
        {{"bin-to-hex"}, "none", std::string((1 << 20) + 1, 'x'), 1, "",
         "Cannot read standard input: it has more than 1048576 bytes" + tooBig, ""},
    };
    const std::string path = Scratch("command.bin");
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args) + " on " + row.file.substr(0, 8));
        std::filesystem::remove(path);
        if (row.file == "big")
            std::filesystem::resize_file((std::ofstream(path), path), 50 << 20);
        else if (row.file != "none")
            std::ofstream(path, std::ios::binary) << row.file;
        std::istringstream input(row.input);
        InProcessPlatform machine;
        const KaloRun run = Kalo(On("COM1", Replace(row.args, "@", path)), machine, &input);
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, Replace(row.err, "@", path));
        const std::string sent = kalo::test::Sent(machine);
        EXPECT_EQ(sent.substr(std::min<size_t>(kIdentifyBytes, sent.size())), row.written);
        EXPECT_EQ(run.opened, (row.args[0] == "send" || row.args[0] == "test-print") && row.status == 0);
    }
}
