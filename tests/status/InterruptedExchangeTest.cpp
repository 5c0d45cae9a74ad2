// An interruption of the program, raised at a chosen moment of an exchange
// with the in-process printer: what still goes out, and what is waited.
#include "SwitchPins.h"
#include "platform/Interruption.h"
#include "sim/InProcessPlatform.h"
#include "status/FontDownload.h"
#include "status/StatusExchange.h"
#include "support/FontImages.h"

#include <gtest/gtest.h>

using namespace kalo;
using Bytes = std::vector<uint8_t>;
using Waits = std::vector<uint32_t>;

namespace {

// Interrupts the program at the progress step numbered interruptAt (0: before the first).
struct InterruptingProgress final : ProgressSink {
    int interruptAt = -1;
    int steps = 0;
    void SetPosition(int) override {}
    void SetStep(int) override {}
    void Step() override
    {
        if (++steps == interruptAt)
            platform::Interrupt(0);
    }
};

struct SetStatusRow {
    const char* name;
    PortKind kind;
    int interruptAt;         // 0: before Set Status starts
    size_t commands;         // the writes that go out
    Waits waits;             // every wait of Set Status
};

class InterruptedSetStatus : public testing::TestWithParam<SetStatusRow> {
protected:
    void TearDown() override { platform::ClearInterruption(); }
};

TEST_P(InterruptedSetStatus, LeavesUserSettingModeAndStops)
{
    const SetStatusRow& row = GetParam();
    sim::InProcessPlatform machine;
    CPrinterPort port(machine);
    port.Configure(row.kind == PortKind::Serial ? LinePortSettings("COM1", 9600, 8, 0, 0, 0)
                                                : NetworkPortSettings(machine.networkHost, machine.networkPort));
    ASSERT_EQ(port.Open(), 1);
    InterruptingProgress progress;
    progress.interruptAt = row.interruptAt;
    StatusRecord record;
    PrinterFacts facts;
    StatusExchange exchange({port, row.kind, machine.Clock(), machine.Messages(), progress, record, facts, nullptr});
    machine.Clock().ClearSleeps();
    const size_t before = machine.lastLink->Written().size();
    if (row.interruptAt == 0)
        platform::Interrupt(0);

    // Whole only when the power-save write and select printer went out before it.
    const bool whole = row.commands == 12;
    EXPECT_EQ(exchange.WriteStatus(), whole);
    std::vector<Bytes> sent;
    for (size_t i = before; i < machine.lastLink->Written().size(); ++i)
        sent.push_back(machine.lastLink->Written()[i].bytes);
    ASSERT_EQ(sent.size(), row.commands);
    if (row.commands > 0) {
        EXPECT_EQ(sent[0], Bytes(cmd::kEnterUserSetting.begin(), cmd::kEnterUserSetting.end()));
        EXPECT_EQ(sent[9], Bytes(cmd::kEndUserSetting.begin(), cmd::kEndUserSetting.end()));
    }
    EXPECT_EQ(machine.Clock().Sleeps(), row.waits);
    // What was asked for and not sent is counted, so the stop says how far it got.
    EXPECT_EQ(port.Tally().CutShort(), !whole);
}

INSTANTIATE_TEST_SUITE_P(
    Exchange, InterruptedSetStatus,
    testing::Values(SetStatusRow{"BeforeSerial", PortKind::Serial, 0, 0, {}},
                    SetStatusRow{"BeforeNetwork", PortKind::Ethernet, 0, 0, {}},
                    // The first step comes right after entering, the last after the eighth switch.
                    SetStatusRow{"AfterEnteringSerial", PortKind::Serial, 1, 10, {100}},
                    SetStatusRow{"AfterEnteringNetwork", PortKind::Ethernet, 1, 10, {200}},
                    SetStatusRow{"AfterTheLastSwitchNetwork", PortKind::Ethernet, 9, 10, {200}},
                    // After select printer: only the two closing seconds are left out.
                    SetStatusRow{"BeforeTheClosingWaitsSerial", PortKind::Serial, 10, 12, {100, 100}}),
    [](const testing::TestParamInfo<SetStatusRow>& param) { return std::string(param.param.name); });

class InterruptedFontDownload : public testing::Test {
protected:
    void TearDown() override { platform::ClearInterruption(); }
};

TEST_F(InterruptedFontDownload, StopsBetweenBlocks)
{
    sim::InProcessPlatform machine;
    CPrinterPort port(machine);
    port.Configure(NetworkPortSettings(machine.networkHost, machine.networkPort));
    ASSERT_EQ(port.Open(), 1);
    InterruptingProgress progress;
    FontDownload download(port, machine.GetClock(), progress, {test::FontImageBytes(615695), "test"});
    machine.Clock().ClearSleeps();
    int ticks = 0;
    const FontDownloadOutcome outcome = RunFontDownload(download, machine.GetClock(), [&] {
        if (++ticks == 3)
            platform::Interrupt(0);
    });
    EXPECT_EQ(outcome.end, FontDownloadEnd::Stopped);
    EXPECT_EQ(outcome.sent, 64u + 3 * 4096u);
    EXPECT_EQ(machine.lastLink->Written().size(), 4u);
    // A tick and a block wait for each of the three blocks, and no wait after.
    EXPECT_EQ(machine.Clock().Sleeps(), Waits(6, 10));
}

} // namespace
