#include "cli/Kaloctl.h"
#include "sim/MemorySpooler.h"
#include "port/PrinterCommands.h"
#include "sim/InProcessPlatform.h"
#include "support/ChildProcess.h"
#include "support/FontImages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

#include <unistd.h>

using kalo::sim::InProcessPlatform;
using kalo::sim::PrinterOptions;

// Every fault of the virtual printer against every link and every exchange,
// through kaloctl on the virtual clock: the outcome, how long it took, no
// device left open, and no printer left in user-setting mode unsaid.

namespace {

enum class LinkKind { ByteWise, Block };

struct Link {
    const char* name;
    std::vector<std::string> args;
    LinkKind kind;
};

const Link kLinks[] = {{"Serial", {"--serial", "COM1"}, LinkKind::ByteWise},
                       {"Parallel", {"--parallel", "LPT1"}, LinkKind::ByteWise},
                       {"Tcp", {"--tcp", "10.0.0.50"}, LinkKind::Block},
                       {"Usb", {"--usb"}, LinkKind::Block}};

// A hang-up partway: the byte count the printer takes, and the first line
// of the outcome (on a network link, where a send fails whole, its own).
struct Cut {
    int64_t after;
    std::string outcome;
    std::string networkOutcome = "";
};

// The rows print as their names (they name the ctest tests too).
template <class Row>
    requires requires(const Row& row) { row.name; }
void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.name;
}

struct Exchange {
    const char* name;
    std::vector<std::string> args; // FONT stands for a small font image
    std::string success;           // the first line of standard output
    double boundSeconds[2];        // byte-wise, block
    std::vector<Cut> cuts;
};

// Read bounds: a byte-wise read of n bytes 10 + 10n ms; a block read waits
// 200 ms and reads twice, each up to 3 s (6.2 s). A byte-wise idle drain is at
// most 100 reads 50 ms apart (7 s); a byte-wise text at most 256 bytes (5.2 s).
// Identification, before every exchange: byte-wise drain 7 s, settle 0.6 s,
// ID byte 1.3 s, maker 1 s + text, 0.5 s, model 0.1 s + text: 21 s; block
// ID byte 0.2 + 5 x 3 s, maker and model a block read each, 0.5 s: 28.1 s.
// The first status check: byte-wise firmware and language (three idle drains
// and two texts, 31.4 s), model 6.4 s, three 0.6 s drains, ID byte 1.3 s:
// 41 s; block firmware, language and model 18.6 s, ID byte 0.1 + 11 x 3.1 s
// on a network link: 53 s.
const std::string kNoAnswer = "The printer did not answer for: ";
const std::string kSetStopped = "Set Status stopped after ";
const std::string kOf187 = " of 187 bytes: the printer may not hold the new status. Check the printer and press Set "
                           "Status again.";
const std::string kInUserSetting = " of 187 bytes: the printer may still be in user-setting mode and may not hold the "
                                   "new status. Switch the printer off and on, then press Set Status again.";
const std::string kSheetStopped = " of 41 bytes: the printer may not print its status sheet. Check the printer and "
                                  "press Print Status again.";
const std::string kTestPageStopped = " of 24 bytes: the printer may not print its test page. Check the printer and "
                                     "press Self Test again.";
const std::string kCommandStopped = " of 28 bytes: the printer may not have the whole command. Check the printer "
                                    "and press Write Command again.";
const std::string kTestStringStopped = " of 72 bytes: the printer may not print the test string. Check the printer "
                                       "and press Print Test String again.";
// A hang-up inside the model query of the check leaves the model name empty;
// the reason follows.
const std::string kNotOurs = "This printer don't match our printer name.";

const Exchange kExchanges[] = {
    {"Identify", {"identify"}, "Printer is connected.", {21, 28.1},
     {{1, "Port error! Check printer's port, please."},
      {12, "This printer don't match our company name."},
      {15, "The connected printer has different Model name."}}},
    // Identification, the check, eight switch replies (byte-wise each up to
    // 1.5 s: header bytes, then ten; block 6.2 s), power save (0.9 s; 6.3 s).
    {"GetStatus", {"get-status"}, "Printer Model : TLR-740plusII", {75, 137},
     {{30, kNotOurs},
      {61, kNoAnswer + "memory switch 4, memory switch 5, memory switch 6, memory switch 11, memory switch 12, power "
                       "save. These show \"No Change\" and Set Status leaves them as they are."},
      {95, kNoAnswer + "power save. These show \"No Change\" and Set Status leaves them as they are."}}},
    // Identification, the check, power save, then the write: the entry's
    // reply (0.14 s; 6.2 s), 0.1 s after the exit, two 1 s waits.
    {"SetStatus", {"set-status", "--emulation", "2"}, "Success to set status of printer", {65, 96},
     {{45, kSetStopped + "45" + kOf187, kSetStopped + "41" + kOf187},
      {109, kSetStopped + "109" + kInUserSetting},
      {172, kSetStopped + "172" + kInUserSetting, kSetStopped + "169" + kInUserSetting},
      // After the exit: a real link counts what the system took, so the exit
      // is not known to have reached the printer.
      {181, kSetStopped + "181" + kInUserSetting, kSetStopped + "178" + kInUserSetting}}},
    // Identification and the check; the sheet command has no reply.
    {"PrintStatus", {"print-status"}, "", {62, 81},
     {{30, kNotOurs},
      {39, "Print Status stopped after 39" + kSheetStopped, "Print Status stopped after 37" + kSheetStopped}}},
    // Identification and the 4.3 s the test page takes.
    {"SelfTest", {"self-test"}, "", {25.3, 32.4},
     {{17, "Self Test stopped after 17" + kTestPageStopped},
      {20, "Self Test stopped after 20" + kTestPageStopped, "Self Test stopped after 17" + kTestPageStopped}}},
    // Identification and one write of the command's 11 bytes, no reply.
    {"Send", {"send", "1b 40 1b 61 01 48 65 6c 6c 6f 0a"}, "", {21.1, 28.2},
     {{17, "Write Command stopped after 17" + kCommandStopped},
      {22, "Write Command stopped after 22" + kCommandStopped, "Write Command stopped after 17" + kCommandStopped}}},
    // Identification, then the test lines and the feed in two writes.
    {"TestPrint", {"test-print"}, "", {21.1, 28.2},
     {{17, "Print Test String stopped after 17" + kTestStringStopped},
      {40, "Print Test String stopped after 40" + kTestStringStopped,
       "Print Test String stopped after 17" + kTestStringStopped}}},
    // Identification; 8356 bytes at 9600 baud (8.7 s) in three blocks 20 ms
    // apart (two 500 ms pauses between network pieces); byte-wise a 0.7 s
    // drain; firmware and language again (31.4 s; 12.4 s).
    {"DownloadFont", {"download-font", "3", "--file", "FONT"}, "Success to Download Font!, And Reboot Printer",
     {62, 42},
     {{47, "Fail to download Font!"},
      {17 + 64 + 5000, "Font Download Error at less than 4096", "Fail to download Font!"}}},
};

// A parallel write that runs out its 300 s time-out stops the operation's later writes.
constexpr double kParallelStallSeconds = 300;

// Faults refused at the identification, the same for every exchange.
struct Refusal {
    const char* fault;
    const char* name;
    std::string byteWise, block;
};
const std::string kNoId = "Fail to get printer ID.";
const std::string kMaker = "This printer don't match our company name.";
const std::string kModel = "The connected printer has different Model name.";
const Refusal kRefusals[] = {
    {"silent", "Silent", kNoId, kNoId},
    {"wrong-maker", "WrongMaker", kMaker, kMaker},
    {"wrong-model", "WrongModel", kModel, kModel},
    {"wrong-id", "WrongId", kNoId, kNoId},
    {"noise", "Noise", kNoId, kNoId},
    // The model reply comes after the byte-wise 100 ms wait and its reads;
    // on a block link already the maker's header comes alone.
    {"slow", "Slow", kModel, kMaker},
    {"garbage=1", "Garbage1", kNoId, kNoId},
    {"garbage=7", "Garbage7", kNoId, kNoId},
};

struct Row {
    std::string name;
    const Link* link;
    const Exchange* exchange;
    std::string fault;
    std::string outcome; // the first line said; success for a healthy printer
    bool cut;
};

std::vector<Row> Rows()
{
    std::vector<Row> rows;
    for (const Link& link : kLinks) {
        const bool block = link.kind == LinkKind::Block;
        for (const Exchange& exchange : kExchanges) {
            const std::string name = std::string(link.name) + "_" + exchange.name + "_";
            rows.push_back({name + "Healthy", &link, &exchange, "", exchange.success, false});
            for (const Refusal& refusal : kRefusals)
                rows.push_back({name + refusal.name, &link, &exchange, refusal.fault,
                                block ? refusal.block : refusal.byteWise, false});
            for (const Cut& cut : exchange.cuts) {
                const bool network = link.args.front() == "--tcp" && !cut.networkOutcome.empty();
                rows.push_back({name + "CloseAfter" + std::to_string(cut.after), &link, &exchange,
                                "close-after=" + std::to_string(cut.after), network ? cut.networkOutcome : cut.outcome,
                                true});
            }
            if (link.args.front() == "--serial")
                rows.push_back({name + "DsrLow", &link, &exchange, "dsr-low",
                                "Can't open port and Printer is disconnected", false});
        }
    }
    return rows;
}

std::string FontPath()
{
    static const std::string path = [] {
        // Per process: ctest runs the rows side by side, and a row reading the
        // image while another rewrites it would fail for no fault of kaloctl's.
        const std::string file = ::testing::TempDir() + "fault-matrix-font-" + std::to_string(getpid()) + ".bin";
        kalo::test::WriteFontImage(file, kalo::test::FontImageBytes(64 + 2 * 4096 + 100));
        return file;
    }();
    return path;
}

std::string FirstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

template <size_t N>
size_t Count(const std::string& haystack, const kalo::cmd::Command<N>& command)
{
    const std::string needle(command.begin(), command.end());
    size_t count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1))
        ++count;
    return count;
}

class FaultMatrix : public ::testing::TestWithParam<Row> {};

} // namespace

TEST_P(FaultMatrix, EndsAsTheProtocolSaysInTimeAndClosed)
{
    const Row& row = GetParam();
    PrinterOptions options;
    std::string error;
    ASSERT_TRUE(row.fault.empty() || kalo::sim::ApplyFault(row.fault, options, error)) << error;
    InProcessPlatform machine(options);
    machine.usbPrinters = {{"/dev/usb/lp0", "7a3c", "001d", "K1"}};
    std::vector<std::string> args = row.link->args;
    for (const std::string& arg : row.exchange->args)
        args.push_back(arg == "FONT" ? FontPath() : arg);
    kalo::sim::MemorySpooler spooler;
    std::ostringstream out, err;
    const int status = kalo::cli::Kaloctl().Run(args, out, err, machine, spooler, kalo::CRegistryKey());

    // What the technician is told: the message boxes the exchange showed,
    // then standard error, without the lines of the USB devices tried.
    std::string told;
    for (const auto& message : machine.Recorded().Messages())
        told += message.text + '\n' + (message.detail.empty() ? "" : message.detail + '\n');
    std::istringstream lines(err.str());
    for (std::string line; std::getline(lines, line);)
        told += line.rfind("Attempting to open ", 0) == 0 ? "" : line + '\n';
    const bool healthy = row.fault.empty();
    EXPECT_EQ(status, healthy ? 0 : 1);
    EXPECT_EQ(FirstLine(healthy ? out.str() : told), row.outcome) << told;
    // A hang-up is never left to pass for a refusal: its reason names the device.
    if (row.cut) {
        EXPECT_TRUE(told.find(" /dev/") != std::string::npos || told.find(" 10.0.0.50:") != std::string::npos)
            << told;
    }

    double bound = row.exchange->boundSeconds[row.link->kind == LinkKind::Block];
    if (row.cut && row.link->args.front() == "--parallel")
        bound += kParallelStallSeconds;
    EXPECT_LE(double(machine.Clock().NowMicros()) / 1e6, bound);
    EXPECT_EQ(machine.openDevices, 0);

    std::string received;
    if (machine.lastLink) {
        for (const auto& chunk : machine.lastLink->Written())
            received.append(chunk.bytes.begin(), chunk.bytes.end());
    }
    const size_t entries = Count(received, kalo::cmd::kEnterUserSetting);
    const size_t exits = Count(received, kalo::cmd::kEndUserSetting);
    EXPECT_TRUE(entries == exits || entries == exits + 1);
    if (entries > exits) {
        EXPECT_NE(told.find("may still be in user-setting mode"), std::string::npos) << told;
    }
    if (entries == 0) {
        EXPECT_EQ(told.find("user-setting mode"), std::string::npos) << told;
    }
}

INSTANTIATE_TEST_SUITE_P(Kaloctl, FaultMatrix, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<Row>& row) { return row.param.name; });

// A few rows again with the real programs, to show the bounds hold outside
// the virtual clock.
struct RealRow {
    const char* name;
    std::vector<std::string> printer; // kalo-vprinter's link and fault
    std::vector<std::string> args;    // ADDRESS stands for the printer's
    std::string err;                  // how standard error begins
    std::string says;                 // and what it says further on
    double boundSeconds;
};

class FaultMatrixRealTime : public ::testing::TestWithParam<RealRow> {};

TEST_P(FaultMatrixRealTime, KeepsTheBound)
{
    const RealRow& row = GetParam();
    std::vector<std::string> printer = row.printer;
    printer.insert(printer.end(), {"--paper", "/dev/null"});
    kalo::test::VirtualPrinterProcess vprinter(printer);
    std::vector<std::string> args;
    for (const std::string& arg : row.args)
        args.push_back(arg == "ADDRESS" ? vprinter.tcpAddress + ":" + std::to_string(vprinter.tcpPort) : arg);
    const auto start = std::chrono::steady_clock::now();
    const auto run = kalo::test::RunProgram(KALO_KALOCTL_PATH, args, {"KALO_PORT_COM3=" + vprinter.ptyPath});
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(FirstLine(run.err).rfind(row.err, 0), 0u) << run.err;
    EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
    EXPECT_LE(took.count(), row.boundSeconds);
}

INSTANTIATE_TEST_SUITE_P(
    RealLinks, FaultMatrixRealTime,
    ::testing::Values(
        RealRow{"TcpSetStatusCloseAfter109", {"--tcp", "0", "--fault", "close-after=109"},
                {"--tcp", "ADDRESS", "set-status", "--emulation", "2"}, kSetStopped,
                // The count is what the system took before it noticed the hang-up.
                kInUserSetting, 96},
        RealRow{"TcpIdentifyGarbage", {"--tcp", "0", "--fault", "garbage=1"}, {"--tcp", "ADDRESS", "identify"}, kNoId, "",
                28.1},
        // A printer that says nothing, since a loaded machine can make a talking one late.
        RealRow{"PtyIdentifySilent", {"--pty", "--fault", "silent"}, {"--serial", "COM3", "identify"}, kNoId, "", 21}),
    [](const ::testing::TestParamInfo<RealRow>& row) { return std::string(row.param.name); });
