#include "cli/Kaloctl.h"
#include "platform/MemorySpooler.h"
#include "platform/RegistryFile.h"
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
    return {status, out.str(), err.str()};
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

TEST(Kaloctl, RefusalsPrintTheMessageAndExitOne)
{
    PrinterOptions wrongModel;
    wrongModel.model = "RP-F10";
    const struct {
        std::vector<std::string> args;
        PrinterOptions options;
        std::string err;
    } rows[] = {
        {{"identify"}, wrongModel, "The connected printer has different Model name.\n"},
        {{"--serial", "COM2", "identify"}, {},
         "Can't open port and Printer is disconnected\n"
         "open /dev/ttyS1: No such file or directory (set KALO_PORT_COM2 to the device)\n"},
        {{"--serial", "COM1", "--parity", "mark", "--baud", "1234", "identify"}, {},
         "Can't open port and Printer is disconnected\nset line /dev/ttyS0: Invalid argument\n"},
        {{"--tcp", "10.0.0.50:0", "identify"}, {},
         "Port Configuration Set Error!\n"
         "configure 10.0.0.50: neither a COM, LPT or USB port nor an address with a TCP port\n"},
        // No entry of the port list begins with "COM10", so no port is chosen.
        {{"--printer", "Receipt COM10", "identify"}, {}, "Port Configuration Set Error!\nconfigure: no port chosen\n"},
        {{"--tcp", "10.0.0.50:9101", "identify"}, {},
         "Can't open port and Printer is disconnected\n" // after the port's own box, shown through the platform
         "connect 10.0.0.50:9101: Connection refused\n"},
    };
    for (const auto& row : rows) {
        const KaloRun run = Kalo(row.args, row.options);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, row.err);
        EXPECT_EQ(run.out, "");
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

TEST(Kaloctl, UsageErrorsExitTwo)
{
    for (const auto& args : {std::vector<std::string>{},
                             {"frobnicate"},
                             {"identify", "extra"},
                             {"--parity", "sideways", "identify"},
                             {"--stop-bits", "3", "identify"},
                             {"--data-bits", "9", "identify"},
                             {"--baud", "-5", "identify"},
                             {"--serial", "COM1", "--tcp", "10.0.0.50", "identify"},
                             {"--tcp", ":9100", "identify"},
                             {"--printer", "Receipt COM1", "--tcp", "10.0.0.50", "identify"},
                             {"identify", "--serial"}}) {
        const KaloRun run = Kalo(args);
        EXPECT_EQ(run.status, 2) << (args.empty() ? "(none)" : args.back());
        EXPECT_NE(run.err.find("kaloctl"), std::string::npos);
    }
}

TEST(Kaloctl, Help)
{
    const KaloRun general = Kalo({"--help"});
    EXPECT_EQ(general.status, 0);
    EXPECT_NE(general.out.find("identify"), std::string::npos);
    EXPECT_NE(general.out.find("--tcp ADDRESS[:PORT]"), std::string::npos);
    const KaloRun command = Kalo({"identify", "--help"});
    EXPECT_EQ(command.status, 0);
    EXPECT_NE(command.out.find("Usage: kaloctl [CONNECTION] identify [OPTIONS]"), std::string::npos);
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

TEST(Kaloctl, SetStatusRefusals)
{
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;
    } rows[] = {
        {{"set-status", "--entrance-time", "5"}, 1, "Enterance time should be from 6 to 255.\n"},
        {{"set-status", "--code-page", "PC86"}, 2, "kaloctl set-status: no single code page matches 'PC86'\n"},
        {{"set-status", "--pin", "7:1=on"}, 2, "kaloctl set-status: --pin takes SWITCH:PIN=on|off|keep, e.g. 6:2=on\n"},
        {{"set-status", "--load", "x.STS"}, 1, "Wrong format files loaded.\n"},
        {{"set-status", "--double-byte-font", "KS5601"}, 1, "Fail to download Font!\n"},
        {{"get-status", "--bogus"}, 2, "kaloctl get-status: bad argument '--bogus'\n"},
    };
    for (const auto& row : rows) {
        const KaloRun run = Kalo(row.args);
        EXPECT_EQ(run.status, row.status) << row.args[1];
        EXPECT_EQ(run.err, row.err) << row.args[1];
    }
}
