// The paced serial line on a virtual clock: bytes take their frame time, a
// slow printer stops its sender at the buffer's marks, and what it cannot
// hold is counted as lost.
#include "sim/PacedLine.h"

#include <gtest/gtest.h>

#include <deque>

using kalo::sim::ByteNanos;
using kalo::sim::PacedLine;

namespace {

struct Outcome {
    int64_t lastArrival = -1; // the wake at which the last byte came off the line
    std::vector<uint8_t> sent, consumed;
    std::vector<std::pair<uint8_t, size_t>> control; // with the bytes buffered just after
    uint64_t overrunReported = 0;
};

// A sender writes 200 bytes at once; the line takes them as it asks and is
// woken lateNanos after each time it names.
Outcome Drive(PacedLine& line, int64_t lateNanos)
{
    Outcome out;
    std::deque<uint8_t> queued;
    for (size_t i = 0; i < 200; ++i)
        queued.push_back(out.sent.emplace_back(uint8_t(i * 7)));
    for (int64_t now = 0;;) {
        const std::vector<uint8_t> chunk(queued.begin(), queued.begin() + long(std::min(line.ReadRoom(), queued.size())));
        queued.erase(queued.begin(), queued.begin() + long(chunk.size()));
        if (!chunk.empty())
            line.Taken(chunk.data(), chunk.size(), now, !queued.empty());
        if (line.NextDue() < 0)
            break;
        now = std::max(now, line.NextDue() + lateNanos);
        PacedLine::Events events;
        line.Advance(now, events);
        out.lastArrival = events.arrived.empty() ? out.lastArrival : now;
        out.consumed.insert(out.consumed.end(), events.consumed.begin(), events.consumed.end());
        for (uint8_t byte : events.control)
            out.control.emplace_back(byte, line.Buffered());
        out.overrunReported += events.overrun;
    }
    return out;
}

} // namespace

// A 64-byte buffer read at 100 bytes/s behind a 9600-baud line, 200 bytes
// sent at once. XOFF goes at 48 buffered (a stopped sender's last few bytes
// still come), XON at 16. Ignored, the buffer fills: 64 held, 20 taken out
// meanwhile, 116 lost, reported once when the buffer has drained. A printer
// that keeps up takes the bytes at the frame's pace, however late it wakes.
TEST(PacedLine, PacesTheFrameAndStopsItsSender)
{
    const struct {
        const char* name;
        uint64_t processRate;
        bool printerXonXoff, senderHonours, senderAsks, expectControl;
        uint64_t expectLost;
        int64_t late = 0;
        const char* frame = "8N1";
        int64_t lastArrival = -1; // when the printer keeps up
    } rows[] = {
        {"sender stops on XOFF: nothing lost", 100, false, true, true, true, 0},
        {"sender ignores XOFF: overrun", 100, true, false, false, true, 116},
        {"no flow control: same overrun, no XOFF", 100, false, false, false, false, 116},
        {"printer as fast as it arrives, 8N1.5", 0, false, true, true, false, 0, 0, "8N1.5", 218'750'000},
        {"7E1 is ten bits, woken late", 2000, false, true, true, false, 0, 3'000'000, "7e1", 208'333'200},
        {"8N2 is eleven bits", 0, false, true, true, false, 0, 0, "8N2", 229'166'600},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PacedLine line({64, row.processRate, row.printerXonXoff});
        line.SetLine(ByteNanos(9600, kalo::sim::ParseFrame(row.frame).value()), row.senderHonours, row.senderAsks);
        const Outcome out = Drive(line, row.late);
        EXPECT_EQ(line.Lost(), row.expectLost);
        EXPECT_EQ(out.overrunReported, row.expectLost);
        EXPECT_EQ(out.consumed.size() + line.Lost(), 200u);
        if (row.expectLost == 0) {
            EXPECT_EQ(out.consumed, out.sent);
        }
        if (row.lastArrival >= 0) {
            EXPECT_GE(out.lastArrival, row.lastArrival);
            EXPECT_LE(out.lastArrival, row.lastArrival + row.late);
        }
        ASSERT_EQ(out.control.empty(), !row.expectControl);
        EXPECT_EQ(out.control.size() % 2, 0u) << "ends with XON";
        for (size_t i = 0; i < out.control.size(); ++i) {
            SCOPED_TRACE(i);
            const auto [byte, buffered] = out.control[i];
            EXPECT_EQ(byte, i % 2 == 0 ? PacedLine::kXoff : PacedLine::kXon);
            EXPECT_GE(buffered, i % 2 == 0 ? 48u : 16u);
            EXPECT_LE(buffered, i % 2 == 1 ? 16u : row.senderHonours ? 52u : 64u);
        }
    }
}
