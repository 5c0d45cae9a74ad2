// The paced serial line on a virtual clock: bytes take their frame time, a
// slow printer stops its sender at the buffer's marks, and what it cannot
// hold is counted as lost.
#include "sim/PacedLine.h"

#include <gtest/gtest.h>

#include <deque>

using kalo::sim::ByteNanos;
using kalo::sim::LineFrame;
using kalo::sim::PacedLine;
using kalo::sim::ParseFrame;

namespace {

struct Write {
    int64_t at;
    size_t length;
};

struct Outcome {
    int64_t lastArrival = -1; // the wake at which the last byte came off the line
    std::vector<uint8_t> sent;
    std::vector<uint8_t> consumed;
    std::vector<std::pair<uint8_t, size_t>> control; // with the bytes buffered just after
    uint64_t overrunReported = 0;
};

// A sender on the other end: its writes wait in its queue until the line
// takes them; the line is woken lateNanos after each time it asks for.
Outcome Drive(PacedLine& line, const std::vector<Write>& writes, int64_t lateNanos = 0)
{
    Outcome outcome;
    std::deque<uint8_t> queued;
    size_t nextWrite = 0;
    int64_t now = 0;
    for (int wakes = 0; wakes < 1'000'000; ++wakes) {
        for (; nextWrite < writes.size() && writes[nextWrite].at <= now; ++nextWrite) {
            for (size_t i = 0; i < writes[nextWrite].length; ++i) {
                outcome.sent.push_back(uint8_t(outcome.sent.size() * 7));
                queued.push_back(outcome.sent.back());
            }
        }
        const size_t take = std::min(line.ReadRoom(), queued.size());
        if (take > 0) {
            const std::vector<uint8_t> chunk(queued.begin(), queued.begin() + long(take));
            queued.erase(queued.begin(), queued.begin() + long(take));
            line.Taken(chunk.data(), chunk.size(), now, !queued.empty());
        }
        int64_t next = line.NextDue() >= 0 ? line.NextDue() + lateNanos : -1;
        if (nextWrite < writes.size() && (next < 0 || writes[nextWrite].at < next))
            next = writes[nextWrite].at;
        if (next < 0)
            break;
        now = std::max(now, next);
        PacedLine::Events events;
        line.Advance(now, events);
        if (!events.arrived.empty())
            outcome.lastArrival = now;
        outcome.consumed.insert(outcome.consumed.end(), events.consumed.begin(), events.consumed.end());
        for (uint8_t byte : events.control)
            outcome.control.emplace_back(byte, line.Buffered());
        outcome.overrunReported += events.overrun;
    }
    return outcome;
}

LineFrame Frame(const char* text)
{
    return ParseFrame(text).value();
}

} // namespace

TEST(PacedLine, BytesTakeTheirFrameTime)
{
    const int64_t b9600 = ByteNanos(9600, Frame("8N1"));
    const struct {
        const char* name;
        uint32_t baud;
        const char* frame;
        std::vector<Write> writes;
        int64_t late;
        int64_t expected;
    } rows[] = {
        {"9600 8N1, 1000 bytes in 1.04 s", 9600, "8N1", {{0, 1000}}, 0, 1'041'666'000},
        {"7E1 is ten bits too", 9600, "7e1", {{0, 1000}}, 0, 1'041'666'000},
        {"8N2 is eleven", 9600, "8N2", {{0, 1000}}, 0, 1'145'833'000},
        {"8N1.5 is ten and a half", 9600, "8N1.5", {{0, 1000}}, 0, 1'093'750'000},
        {"7O2 is eleven", 9600, "7O2", {{0, 1000}}, 0, 1'145'833'000},
        {"115200 8N1", 115200, "8N1", {{0, 1000}}, 0, 86'805'000},
        {"late wakes do not add up", 9600, "8N1", {{0, 1000}}, 900'000, 1'041'666'000},
        {"a pause is not made up for", 9600, "8N1", {{0, 10}, {1'000'000'000, 10}}, 0, 1'000'000'000 + 10 * b9600},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PacedLine line({});
        line.SetLine(ByteNanos(row.baud, Frame(row.frame)), false, false);
        const Outcome outcome = Drive(line, row.writes, row.late);
        EXPECT_GE(outcome.lastArrival, row.expected);
        EXPECT_LE(outcome.lastArrival, row.expected + row.late);
        EXPECT_EQ(outcome.consumed, outcome.sent);
        EXPECT_TRUE(outcome.control.empty());
        EXPECT_EQ(line.Lost(), 0u);
    }
}

TEST(PacedLine, FrameTexts)
{
    for (const char* bad : {"", "8N", "9N1", "4N1", "8X1", "8N3", "8N1.", "8N12", "N81"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseFrame(bad));
    }
}

// A 64-byte buffer read at 100 bytes/s behind a 9600-baud line: 200 bytes
// sent at once. XOFF goes at 48 buffered (a few more are still on the line),
// XON at 16. Ignored, the buffer fills: 64 held, 20 taken out meanwhile, 116
// lost, reported once when the buffer has drained.
TEST(PacedLine, FlowControlAndOverrun)
{
    const struct {
        const char* name;
        uint64_t processRate;
        bool printerXonXoff, senderHonours, senderAsks;
        bool expectControl;
        uint64_t expectLost;
        int64_t late = 0;
    } rows[] = {
        {"sender stops on XOFF: nothing lost", 100, false, true, true, true, 0},
        {"sender ignores XOFF: overrun", 100, true, false, false, true, 116},
        {"no flow control: same overrun, no XOFF", 100, false, false, false, false, 116},
        {"printer as fast as it arrives: never stops", 0, false, true, true, false, 0},
        {"printer faster than the line, woken late", 2000, false, true, true, false, 0, 3'000'000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PacedLine line({64, row.processRate, row.printerXonXoff});
        line.SetLine(ByteNanos(9600, Frame("8N1")), row.senderHonours, row.senderAsks);
        const Outcome outcome = Drive(line, {{0, 200}}, row.late);
        EXPECT_EQ(line.Lost(), row.expectLost);
        EXPECT_EQ(outcome.overrunReported, row.expectLost);
        EXPECT_EQ(outcome.consumed.size() + line.Lost(), 200u);
        if (row.expectLost == 0) {
            EXPECT_EQ(outcome.consumed, outcome.sent);
        }
        EXPECT_EQ(outcome.control.empty(), !row.expectControl);
        for (size_t i = 0; i < outcome.control.size(); ++i) {
            const auto [byte, buffered] = outcome.control[i];
            SCOPED_TRACE(i);
            if (i % 2 == 0) {
                EXPECT_EQ(byte, PacedLine::kXoff);
                EXPECT_GE(buffered, 48u);
                EXPECT_LE(buffered, row.senderHonours ? 52u : 64u);
            } else {
                EXPECT_EQ(byte, PacedLine::kXon);
                EXPECT_EQ(buffered, 16u);
            }
        }
        if (row.expectControl) {
            EXPECT_EQ(outcome.control.back().first, PacedLine::kXon);
        }
    }
}

// The printer's own transmitter: bytes one frame apart, none before it is due.
TEST(PacedLine, SendsAtTheLineRate)
{
    PacedLine line({});
    const int64_t byte = ByteNanos(9600, Frame("8N1"));
    line.SetLine(byte, false, false);
    int64_t done = 0;
    for (int i = 0; i < 3; ++i) {
        done = line.SendDone(1'000'000);
        line.Sent(done);
    }
    EXPECT_EQ(done, 1'000'000 + 3 * byte);
    EXPECT_EQ(line.SendDone(5'000'000'000), 5'000'000'000 + byte);
}
