#include "sim/InProcessLink.h"
#include "sim/VirtualPrinter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <tuple>
#include <unistd.h>

using namespace kalo::sim;
using Bytes = std::vector<uint8_t>;

namespace {

struct Printer {
    explicit Printer(PrinterOptions options = {})
        : printer(std::move(options), [this](const std::string& line) { paper.push_back(line); })
    {
    }
    Bytes Send(const Bytes& bytes)
    {
        Bytes reply;
        printer.Receive(bytes.data(), bytes.size(), reply);
        return reply;
    }
    std::vector<std::string> paper;
    VirtualPrinter printer;
};

} // namespace

// The texts, the power-save reply and the faults' replies are read by the
// identification and status tests against this printer; here the id byte,
// the switch replies in kalo-vprinter --switch's pin order, and silence.
// (Commands split over several reads are answered as whole ones: the
// vprinter_commands fuzz target's rule, replayed on its corpus.)
TEST(VirtualPrinter, AnswersQueriesInTheirReplyLayouts)
{
    PrinterOptions options;
    std::string error;
    ASSERT_TRUE(ApplySwitch("1=10000010", options, error)); // pins 8 and 2
    ASSERT_TRUE(ApplySwitch("11=00000001", options, error));
    const std::pair<Bytes, Bytes> rows[] = {
        {{0x1D, 0x49, 0x03}, {0x63}},
        {{0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, 0x01}, {0x37, 0x21, '1', '0', '0', '0', '0', '0', '1', '0', 0}},
        {{0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, 0x0B}, {0x37, 0x21, '0', '0', '0', '0', '0', '0', '0', '1', 0}},
        {{0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, 0x07}, {}}, // switch 7 does not exist
        {{0x1B, 0x40, 0x1B, 0x3D, 0x01, 0x1D, 0x61, 0x00}, {}}, // initialise and friends say nothing
    };
    for (const auto& [command, reply] : rows)
        EXPECT_EQ(Printer(options).Send(command), reply) << ::testing::PrintToString(command);
}

// (A font download, data that looks like commands included, is counted in
// the download tests; switch writes, stuck pins among them, are checked
// where the program sends them.)
TEST(VirtualPrinter, PrintsTheEditorSnippets)
{
    Printer p;
    Bytes stream = {0x1B, 0x40, 0x1B, 0x61, 0x01, 'H',  'i',  0x0A, 0x1B, 0x61,
                    0x00, 0x1B, 0x45, 0x01, 'B',  0x1B, 0x45, 0x00, 0x0A};
    const std::string test = "Command Test String Line1\r\nCommand Test String Line2";
    stream.insert(stream.end(), test.begin(), test.end());
    stream.insert(stream.end(), {0x1B, 0x4A, 0xFF, 0x1B, 0x70, 0x00, 0x19, 0xFF, 0x1C, 0x70, 0x01, 0x00, 0x0A, 0x1D,
                                 0x56, 0x42, 0x00, 0x1D, 0x28, 0x41, 0x02, 0x00, 0x01, 0x02});
    p.Send(stream);
    p.paper.resize(std::min<size_t>(p.paper.size(), 10)); // the self test's sheet follows its first line
    EXPECT_EQ(p.paper, (std::vector<std::string>{std::string(23, ' ') + "Hi", "*B*", "Command Test String Line1",
                                                 "Command Test String Line2", "[feed 255 dots]",
                                                 "[drawer pulse on pin 2, on 50 ms, off 510 ms]",
                                                 "[NV image 1, mode 0]", "", "[cut]", "[self test]"}));
}

// Each reply's delay past the turn-around, timed from its query on the virtual clock.
TEST(VirtualPrinter, DelaysEachReplyAsItsFaultsSay)
{
    const auto delays = [](const std::string& slowDelay, const std::string& fault, uint32_t seed) {
        PrinterOptions options;
        std::string error;
        EXPECT_TRUE(ApplyFault(fault, options, error) && ApplySlowDelay(slowDelay, options, error)) << error;
        options.seed = seed;
        VirtualClock clock;
        VirtualPrinter printer(options, [](const std::string&) {});
        ReplyTiming timing(printer.Options());
        InProcessLink link(printer, timing, clock, nullptr);
        std::vector<int64_t> result;
        for (uint8_t query[] = {0x1D, 0x49, 0x03}, reply = 0; result.size() < 6;) {
            const int64_t sent = clock.NowMicros();
            EXPECT_TRUE(link.Write(query, 3) == 3 && link.WaitReadable(100'000'000) && link.ReadArrived(&reply, 1));
            result.push_back(clock.NowMicros() - sent - InProcessLink::kTurnaroundMicros);
        }
        return result;
    };
    const auto drawn = delays("20-40", "slow", 7);
    EXPECT_EQ(delays("20-40", "slow", 7), drawn);
    EXPECT_NE(delays("20-40", "slow", 8), drawn);
    EXPECT_GT(std::set<int64_t>(drawn.begin(), drawn.end()).size(), 1u);
    for (const int64_t delay : drawn)
        EXPECT_TRUE(delay >= 20000 && delay <= 40000) << delay;
    EXPECT_EQ(delays("0", "late=3:900", 0), (std::vector<int64_t>{0, 0, 900000, 0, 0, 0}));
}

// DLE EOT 1-4 (and 0 and 5, unanswered), read from the printer's side of the
// ESC/POS reference: bits 1 and 4 set, and what each state word sets.
TEST(VirtualPrinter, AnswersRealTimeStatusFromItsState)
{
    const std::pair<std::string, Bytes> rows[] = {
        {"ready", {0x12, 0x12, 0x12, 0x12}},          {"drawer-high", {0x16, 0x12, 0x12, 0x12}},
        {"offline", {0x1A, 0x12, 0x12, 0x12}},        {"cover-open", {0x1A, 0x16, 0x12, 0x12}},
        {"paper-near-end", {0x12, 0x12, 0x12, 0x1E}}, {"paper-out", {0x1A, 0x32, 0x12, 0x7E}},
        {"error=cutter", {0x1A, 0x52, 0x1A, 0x12}},   {"error=unrecoverable", {0x1A, 0x52, 0x32, 0x12}},
        {"error=auto", {0x1A, 0x52, 0x52, 0x12}},     {"paper-near-end drawer-high,\n", {0x16, 0x12, 0x12, 0x1E}},
    };
    for (const auto& [words, bytes] : rows) {
        SCOPED_TRACE(words);
        PrinterOptions options;
        std::string error;
        ASSERT_TRUE(ApplyState(words, options.state, error)) << error;
        EXPECT_EQ(Printer(options).Send({0x10, 4, 0, 0x10, 4, 1, 0x10, 4, 2, 0x10, 4, 3, 0x10, 4, 4, 0x10, 4, 5}), bytes);
    }
}

// The state file is read again before each answer; while it cannot be read
// or holds an unknown word, --state's state answers, and why is told once.
TEST(VirtualPrinter, FollowsItsStateFile)
{
    PrinterOptions options;
    options.state.coverOpen = true;
    options.stateFile = ::testing::TempDir() + "kalo-state-" + std::to_string(::getpid());
    Printer p(options);
    std::vector<std::string> told;
    p.printer.SetComplaints([&told](const std::string& text) { told.push_back(text); });
    const std::tuple<const char*, uint8_t, size_t> rows[] = {
        {nullptr, 0x16, 1}, {nullptr, 0x16, 1}, {"paper-out\n", 0x32, 1}, {"paper-out bogus", 0x16, 2},
        {"ready", 0x12, 2}, {nullptr, 0x16, 3}}; // file (nullptr: none), DLE EOT 2's answer, complaints
    for (const auto& [content, offlineCause, complaints] : rows) {
        SCOPED_TRACE(content ? content : "(none)");
        if (!content || !(std::ofstream(options.stateFile) << content))
            std::remove(options.stateFile.c_str());
        EXPECT_EQ(p.Send({0x10, 0x04, 0x02}), Bytes{offlineCause});
        ASSERT_EQ(told.size(), complaints);
    }
    EXPECT_NE(told[1].find("unknown state word: bogus"), std::string::npos) << told[1];
}

// A status request is answered at once, ahead of a slow reply still waiting.
TEST(VirtualPrinter, AnswersRealTimeAheadOfASlowReply)
{
    PrinterOptions options;
    options.slowDelayMs = options.slowDelayMaxMs = 300;
    VirtualClock clock;
    VirtualPrinter printer(options, [](const std::string&) {});
    ReplyTiming timing(printer.Options());
    InProcessLink link(printer, timing, clock, nullptr);
    uint8_t queries[] = {0x1D, 0x49, 0x03, 0x10, 0x04, 0x01}, reply[2] = {};
    EXPECT_TRUE(link.Write(queries, 3) && link.Write(queries + 3, 3) && link.WaitReadable(1'000'000));
    const int64_t first = clock.NowMicros(), turnaround = InProcessLink::kTurnaroundMicros;
    EXPECT_TRUE(link.ReadArrived(reply, 2) == 1 && link.WaitReadable(1'000'000) && link.ReadArrived(reply + 1, 1));
    EXPECT_EQ(std::make_tuple(first, clock.NowMicros(), Bytes(reply, reply + 2)),
              std::make_tuple(turnaround, 300'000 + turnaround, Bytes{0x12, 0x63}));
}
