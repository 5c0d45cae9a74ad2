#include "sim/InProcessLink.h"
#include "sim/VirtualPrinter.h"

#include <gtest/gtest.h>

#include <set>

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
