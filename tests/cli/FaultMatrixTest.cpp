#include "port/PrinterCommands.h"
#include "support/FontImages.h"
#include "support/InProcessKaloctl.h"

#include <gtest/gtest.h>

using kalo::sim::InProcessPlatform;
using kalo::sim::PrinterOptions;

// The faults of the virtual printer against every link and every exchange,
// through kaloctl on the virtual clock: the outcome, how long it took, no
// device left open, and no printer left in user-setting mode unsaid.

namespace {

const std::string kNoAnswer = "The printer did not answer for: ";
// "<Operation> stopped after N of <bytes> bytes: the printer may not <what>. Check the printer and run kaloctl
// <command> again."
std::string Stopped(const std::string& operation, int count, const std::string& total, const std::string& what,
                    const std::string& command)
{
    return operation + " stopped after " + std::to_string(count) + " of " + total + " bytes: the printer may not "
        + what + ". Check the printer and run kaloctl " + command + " again.";
}
// A hang-up inside the model query of the check leaves the model name empty.
const std::string kNotOurs = "This printer don't match our printer name.";
const std::string kNoId = "Fail to get printer ID.";
const std::string kMaker = "This printer don't match our company name.";
const std::string kModel = "The connected printer has different Model name.";

// A hang-up partway: the byte count the printer takes, and the first line
// of the outcome (on a network link, where a send fails whole, its own).
struct Cut {
    int64_t after;
    std::string outcome, networkOutcome = "";
};

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
const Exchange kExchanges[] = {
    {"Identify", {"identify"}, "Printer is connected.", {21, 28.1},
     {{1, "Port error! Check printer's port, please."}, {12, kMaker}, {15, kModel}}},
    // Identification, the check, eight switch replies (byte-wise each up to
    // 1.5 s: header bytes, then ten; block 6.2 s), power save (0.9 s; 6.3 s).
    {"GetStatus", {"get-status"}, "Printer Model : TLR-740plusII", {75, 137},
     {{30, kNotOurs},
      {61, kNoAnswer + "memory switch 4, memory switch 5, memory switch 6, memory switch 11, memory switch 12, power "
                       "save. These show \"No Change\" and Set Status leaves them as they are."}}},
    // Identification, the check, power save, then the write: the entry's
    // reply (0.14 s; 6.2 s), 0.1 s after the exit, two 1 s waits. Cut inside
    // user-setting mode, where a network link counts what the system took.
    {"SetStatus", {"set-status", "--emulation", "2"}, "Success to set status of printer", {65, 96},
     {{109, "Set Status stopped after 109 of 187 bytes: the printer may still be in user-setting mode and may not "
            "hold the new status. Switch the printer off and on, then run kaloctl set-status again."}}},
    // Identification and the check; the sheet command has no reply. A cut
    // in the check is get-status's.
    {"PrintStatus", {"print-status"}, "", {62, 81},
     {{39, Stopped("Print Status", 39, "41", "print its status sheet", "print-status"),
       Stopped("Print Status", 37, "41", "print its status sheet", "print-status")}}},
    // Identification and the 4.3 s the test page takes.
    {"SelfTest", {"self-test"}, "", {25.3, 32.4},
     {{20, Stopped("Self Test", 20, "24", "print its test page", "self-test"),
       Stopped("Self Test", 17, "24", "print its test page", "self-test")}}},
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

struct Row {
    std::string name;
    std::vector<std::string> link;
    bool block; // replies read in blocks, not byte by byte
    const Exchange* exchange;
    std::string fault;
    std::string outcome; // the first line said; success for a healthy printer
};

std::vector<Row> Rows()
{
    const std::pair<std::vector<std::string>, bool> links[] = {
        {{"--serial", "COM1"}, false}, {{"--parallel", "LPT1"}, false}, {{"--tcp", "10.0.0.50"}, true}, {{"--usb"}, true}};
    std::vector<Row> rows;
    for (const auto& [link, block] : links) {
        for (const Exchange& exchange : kExchanges) {
            const std::string name = link.front() + " " + exchange.name + " ";
            rows.push_back({name + "healthy", link, block, &exchange, "", exchange.success});
            // How each refusal at the identification reads is the identification's; a silent printer
            // still has to end every exchange in its time.
            rows.push_back({name + "silent", link, block, &exchange, "silent", kNoId});
            for (const Cut& cut : exchange.cuts) {
                const std::string fault = "close-after=" + std::to_string(cut.after);
                const bool network = link.front() == "--tcp" && !cut.networkOutcome.empty();
                rows.push_back({name + fault, link, block, &exchange, fault,
                                network ? cut.networkOutcome : cut.outcome});
            }
        }
    }
    return rows;
}

} // namespace

TEST(FaultMatrix, EndsAsTheProtocolSaysInTimeAndClosed)
{
    const std::string font = kalo::test::Scratch("fault-matrix-font.bin");
    kalo::test::WriteFontImage(font, kalo::test::FontImageBytes(64 + 2 * 4096 + 100));
    const std::string enter(kalo::cmd::kEnterUserSetting.begin(), kalo::cmd::kEnterUserSetting.end());
    const std::string leave(kalo::cmd::kEndUserSetting.begin(), kalo::cmd::kEndUserSetting.end());
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.name);
        PrinterOptions options;
        std::string error;
        ASSERT_TRUE(row.fault.empty() || kalo::sim::ApplyFault(row.fault, options, error)) << error;
        InProcessPlatform machine(options);
        machine.usbPrinters = {{"/dev/usb/lp0", "7a3c", "001d", "K1"}};
        std::vector<std::string> args = row.link;
        args.insert(args.end(), row.exchange->args.begin(), row.exchange->args.end());
        const auto run = kalo::test::RunKaloctl(kalo::test::Replace(args, "FONT", font), machine);

        // What the technician is told: the message boxes the exchange showed,
        // then standard error, without the lines of the USB devices tried.
        std::string told;
        for (const auto& message : machine.Recorded().Messages())
            told += message.text + '\n' + (message.detail.empty() ? "" : message.detail + '\n');
        std::istringstream lines(run.err);
        for (std::string line; std::getline(lines, line);)
            told += line.rfind("Attempting to open ", 0) == 0 ? "" : line + '\n';
        const bool healthy = row.fault.empty();
        EXPECT_EQ(run.status, healthy ? 0 : 1);
        const std::string& said = healthy ? run.out : told;
        EXPECT_EQ(said.substr(0, said.find('\n')), row.outcome) << told;
        // A hang-up is never left to pass for a refusal: its reason names the device.
        const bool cut = row.fault.starts_with("close-after=");
        if (cut) {
            EXPECT_TRUE(told.find(" /dev/") != std::string::npos || told.find(" 10.0.0.50:") != std::string::npos)
                << told;
        }
        double bound = row.exchange->boundSeconds[row.block];
        if (cut && row.link.front() == "--parallel")
            bound += kParallelStallSeconds;
        EXPECT_LE(double(machine.Clock().NowMicros()) / 1e6, bound);
        EXPECT_EQ(machine.openDevices, 0);

        const std::string sent = kalo::test::Sent(machine);
        const size_t entries = kalo::test::Occurrences(sent, enter), exits = kalo::test::Occurrences(sent, leave);
        EXPECT_TRUE(entries == exits || entries == exits + 1);
        EXPECT_EQ(told.find("may still be in user-setting mode") != std::string::npos, entries > exits) << told;
        if (entries == 0) {
            EXPECT_EQ(told.find("user-setting mode"), std::string::npos) << told;
        }
    }
}
