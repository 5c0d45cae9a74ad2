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
        {{"--serial", "COM2", "identify"}, {}, "Can't open port and Printer is disconnected\n"},
        {{"--serial", "COM1", "--parity", "mark", "--baud", "1234", "identify"}, {},
         "Can't open port and Printer is disconnected\n"},
        {{"--tcp", "10.0.0.50:0", "identify"}, {}, "Port Configuration Set Error!\n"},
        // No entry of the port list begins with "COM10", so no port is chosen.
        {{"--printer", "Receipt COM10", "identify"}, {}, "Port Configuration Set Error!\n"},
        {{"--tcp", "10.0.0.50:9101", "identify"}, {},
         "Can't open port and Printer is disconnected\n"}, // after the port's own box, shown through the platform
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
    EXPECT_NE(command.out.find("Usage: kaloctl [CONNECTION] identify"), std::string::npos);
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
