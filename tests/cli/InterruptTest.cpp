// Ctrl+C, SIGTERM and SIGHUP sent to a real kaloctl talking to a real
// kalo-vprinter, at a moment the printer's wire log shows.
#include "platform/Interruption.h"
#include "port/PrinterCommands.h"
#include "support/ChildProcess.h"
#include "support/InProcessKaloctl.h"
#include "support/WireLogText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <unistd.h>

namespace {

using namespace kalo;
using SteadyClock = std::chrono::steady_clock;

// 100 ms is the promise; the margin covers a machine whose two cores four
// builds share, where a process may wait that long for a core.
constexpr int kPromiseMs = 100;
constexpr int kLoadedMachineMarginMs = 150;

enum class Link { Tcp, Pty };

struct Row {
    const char* name;
    Link link;
    std::vector<std::string> command;
    std::vector<std::string> faults;
    std::string signalAfter; // the signal goes when these bytes have reached the printer
    int signal;
    int exitStatus;
    bool inUserSetting; // the signal falls between entering user-setting mode and leaving it
    const char* stoppedWrites = "";
};

// The power-save write and the select-printer command (9 bytes) are what an
// interruption in user-setting mode leaves unsent.
constexpr char kSetStatusStopped[] = "Set Status stopped after 174 of 183 bytes: the printer may not hold the new "
                                     "status. Check the printer and run kaloctl set-status again.\n";

class InterruptTest : public testing::TestWithParam<Row> {};

TEST_P(InterruptTest, EndsWithinItsTimeAndLeavesNothingHalfDone)
{
    const Row& row = GetParam();
    const std::string base = test::Scratch(row.name);
    const std::string wireLog = base + ".wire", out = base + ".out", err = base + ".err";
    std::vector<std::string> printerArgs = {"--tcp", "127.0.0.1:0", "--pty", "--wire-log", wireLog, "--paper",
                                            base + ".paper"};
    for (const std::string& fault : row.faults)
        printerArgs.insert(printerArgs.end(), {"--fault", fault});
    test::VirtualPrinterProcess printer(printerArgs);
    ASSERT_GT(printer.tcpPort, 0);
    ASSERT_FALSE(printer.ptyPath.empty());

    std::string line = std::string("exec '") + KALO_KALOCTL_PATH + "' "
        + (row.link == Link::Tcp ? "--tcp " + printer.tcpAddress + ":" + std::to_string(printer.tcpPort)
                                 : std::string("--serial COM1"));
    for (const std::string& word : row.command)
        line += " " + word;
    line += " >'" + out + "' 2>'" + err + "'";
    test::ChildProcess kaloctl("/bin/sh", {"-c", line}, {"KALO_PORT_COM1=" + printer.ptyPath});
    ASSERT_TRUE(test::WaitForReceived(wireLog, row.signalAfter, 15000)) << test::ReceivedHex(wireLog);

    kaloctl.Signal(row.signal);
    auto from = SteadyClock::now();
    const std::string leave = test::HexText(cmd::kEndUserSetting);
    // What the hold lets finish is not the interruption's time: the clock
    // starts once the printer is out of user-setting mode.
    if (row.inUserSetting && test::WaitForReceived(wireLog, leave, 3000))
        from = SteadyClock::now();
    const int status = kaloctl.Wait(5000);
    const auto tookMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - from).count();
    EXPECT_EQ(status, row.exitStatus);
    EXPECT_LT(tookMs, kPromiseMs + kLoadedMachineMarginMs);
    EXPECT_EQ(test::FileBytes(out), "");
    // A Set Status cut after user-setting mode says how far its writes got.
    EXPECT_EQ(test::FileBytes(err), std::string(row.inUserSetting ? row.stoppedWrites : "") + "kaloctl: interrupted\n");
    const std::string received = test::ReceivedHex(wireLog);
    // In, out, and nothing after: no power-save write, no further wait for it.
    const bool entered = received.find(test::HexText(cmd::kEnterUserSetting)) != std::string::npos;
    EXPECT_EQ(entered, row.inUserSetting) << received;
    if (entered) {
        EXPECT_EQ(received.substr(received.size() - std::min(received.size(), leave.size())), leave) << received;
    }
}

const std::string kFirstSwitchQuery = test::HexText(cmd::SwitchQuery(1));
const std::string kEnter = test::HexText(cmd::kEnterUserSetting);
const std::string kInitialize = test::HexText(cmd::kInitialize);
const std::vector<std::string> kGetJson = {"get-status", "--json"};
const std::vector<std::string> kSetPin = {"set-status", "--pin", "1:1=on", "--power-save", "off", "--entrance-time",
                                          "30"};

INSTANTIATE_TEST_SUITE_P(
    Signals, InterruptTest,
    testing::Values(Row{"TcpGetStatusJsonSigint", Link::Tcp, kGetJson, {}, kFirstSwitchQuery, SIGINT, 130, false},
                    Row{"TcpSetStatusSigterm", Link::Tcp, kSetPin, {}, kEnter, SIGTERM, 143, true,
                        kSetStatusStopped},
                    Row{"PtySilentIdentifySighup", Link::Pty, {"identify"}, {"silent"}, kInitialize, SIGHUP, 129,
                        false}),
    [](const testing::TestParamInfo<Row>& param) { return std::string(param.param.name); });

// Interrupted as soon as it starts, a command over a COM port still gives
// the spooler queue back, and blames neither the printer nor the port.
TEST(InterruptedCommand, GivesTheQueueBackAndSaysNothingWrong)
{
    for (const std::vector<std::string>& command : {std::vector<std::string>{"identify"}, kGetJson, kSetPin}) {
        SCOPED_TRACE(testing::PrintToString(command));
        sim::InProcessPlatform machine;
        sim::MemorySpooler spooler;
        spooler.queues = {{"Receipt COM1", "serial:/dev/ttyS0?baud=19200"}};
        std::vector<std::string> args = {"--serial", "COM1"};
        args.insert(args.end(), command.begin(), command.end());
        platform::Interrupt(SIGINT);
        const test::KaloRun run = test::RunKaloctl(args, machine, {&spooler});
        platform::ClearInterruption();
        EXPECT_EQ(run.status, cli::kExitFailed);
        EXPECT_EQ(spooler.changes, 2);
        EXPECT_EQ(spooler.UriOf("Receipt COM1"), "serial:/dev/ttyS0?baud=19200");
        ASSERT_TRUE(machine.lastLink);
        EXPECT_TRUE(machine.lastLink->Written().empty());
        EXPECT_EQ(run.out + run.err, "");
        EXPECT_TRUE(machine.Recorded().Messages().empty());
    }
}

} // namespace
