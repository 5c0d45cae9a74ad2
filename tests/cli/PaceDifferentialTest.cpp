#include "sim/PrinterOptions.h"
#include "support/FontImages.h"
#include "support/InProcessKaloctl.h"

#include <gtest/gtest.h>

using kalo::sim::InProcessPlatform;
using kalo::sim::PrinterOptions;

// Every exchange under both paces, over each link on the virtual clock. A
// printer that answers well, however slowly within the fixed waits, gets
// the same outcome and the same bytes under the reply pace; one that
// misbehaves is never read more wrongly under it.

namespace {

struct PacedRun {
    kalo::test::KaloRun result;
    std::string told, sent;
    double seconds;
};

PacedRun RunUnder(const char* pace, const std::vector<std::string>& args, const PrinterOptions& options)
{
    InProcessPlatform machine(options);
    machine.usbPrinters = {{"/dev/usb/lp0", "7a3c", "001d", "K1"}};
    std::vector<std::string> paced = {"--pace", pace};
    paced.insert(paced.end(), args.begin(), args.end());
    PacedRun run{kalo::test::RunKaloctl(paced, machine), "", kalo::test::Sent(machine), 0};
    for (const auto& message : machine.Recorded().Messages())
        run.told += message.text + '\n' + message.detail + '\n';
    run.told += run.result.err;
    run.seconds = double(machine.Clock().NowMicros()) / 1e6;
    return run;
}

// The pin states of get-status --json, in order: "on", "off" or "keep".
std::vector<std::string> PinStates(const std::string& json)
{
    std::vector<std::string> states;
    const std::string key = "\"state\": \"";
    for (size_t at = json.find(key); at != std::string::npos; at = json.find(key, at + 1)) {
        const size_t from = at + key.size();
        states.push_back(json.substr(from, json.find('"', from) - from));
    }
    return states;
}

struct Printer {
    std::string name;
    bool answersWell; // within every fixed wait: the outcome must not change
};

} // namespace

TEST(PaceDifferential, ReplyChangesOnlyTheTimeAndIsNeverMoreWrong)
{
    const std::string font = kalo::test::Scratch("pace-font.bin");
    kalo::test::WriteFontImage(font, kalo::test::FontImageBytes(64 + 4096 + 100));
    const std::vector<std::string> links[] = {
        {"--serial", "COM1"}, {"--parallel", "LPT1"}, {"--tcp", "10.0.0.50"}, {"--usb"}};
    const std::vector<std::string> exchanges[] = {
        {"identify"},
        {"get-status", "--json", "--partial"},
        {"set-status", "--emulation", "2", "--verify"},
        {"print-status"},
        {"self-test"},
        {"download-font", "3", "--file", font},
        {"send", "1b 40 1d 49 43"},
    };
    // slow: each reply starts up to 90 ms late, 90% of the shortest wait before a read.
    const Printer printers[] = {{"healthy", true},     {"slow", true},       {"garbage=1", false},
                                {"garbage=7", false},  {"noise", false},     {"close-after=40", false},
                                {"late=9:150", false}, {"late=3:1200", false}};
    for (const auto& link : links) {
        for (const auto& exchange : exchanges) {
            for (const Printer& printer : printers) {
                std::vector<std::string> args = link;
                args.insert(args.end(), exchange.begin(), exchange.end());
                SCOPED_TRACE(link.front() + " " + exchange.front() + " " + printer.name);
                PrinterOptions options;
                // Pins on and off, so a reply read out of place shows.
                const uint8_t switches[8] = {0xA5, 0x3C, 0x01, 0x80, 0x5A, 0xC3, 0x0F, 0xF0};
                std::copy(std::begin(switches), std::end(switches), options.switches);
                std::string error;
                if (printer.name == "slow") {
                    options.slowDelayMs = 0;
                    options.slowDelayMaxMs = 90;
                    options.seed = 7;
                } else if (printer.name != "healthy") {
                    ASSERT_TRUE(kalo::sim::ApplyFault(printer.name, options, error)) << error;
                }
                const PacedRun fixed = RunUnder("fixed", args, options);
                const PacedRun reply = RunUnder("reply", args, options);
                if (printer.name == "healthy") {
                    EXPECT_EQ(fixed.result.status, 0) << fixed.told;
                }
                if (printer.answersWell) {
                    EXPECT_EQ(reply.result.status, fixed.result.status);
                    EXPECT_EQ(reply.result.out, fixed.result.out);
                    EXPECT_EQ(reply.told, fixed.told);
                    EXPECT_EQ(reply.sent, fixed.sent);
                } else if (fixed.result.status != 0) {
                    EXPECT_NE(reply.result.status, 0) << reply.result.out;
                }
                EXPECT_LE(reply.seconds, fixed.seconds + 0.001);
                if (exchange.front() != "get-status")
                    continue;
                // A pin the reply pace reports is the printer's, or what the fixed pace read too.
                const std::vector<std::string> replyPins = PinStates(reply.result.out);
                const std::vector<std::string> fixedPins = PinStates(fixed.result.out);
                for (size_t i = 0; i < replyPins.size(); ++i) {
                    const bool on = options.switches[i / 8] >> (i % 8) & 1;
                    const bool truth = replyPins[i] == (on ? "on" : "off");
                    const bool asFixed = i < fixedPins.size() && replyPins[i] == fixedPins[i];
                    EXPECT_TRUE(replyPins[i] == "keep" || truth || asFixed) << "pin " << i;
                }
            }
        }
    }
}
