#include "SwitchPins.h"
#include "platform/Interruption.h"
#include "sim/InProcessPlatform.h"
#include "sim/RecordingMessageSink.h"
#include "status/FontDownload.h"
#include "status/StatusExchange.h"
#include "support/FontImages.h"

#include <gtest/gtest.h>

using namespace kalo;
using Bytes = std::vector<uint8_t>;
using Waits = std::vector<uint32_t>;
using sim::PrinterOptions;

namespace {

struct Link {
    const char* name;
    PortKind kind;
};
const Link kLinks[] = {{"serial", PortKind::Serial}, {"network", PortKind::Ethernet}};

// Interrupts the program at the progress step numbered interruptAt.
struct InterruptingProgress final : ProgressState {
    int interruptAt = -1;
    int steps = 0;
    void Step() override
    {
        ProgressState::Step();
        if (++steps == interruptAt)
            platform::Interrupt(0);
    }
};

// An open port to the in-process printer and an exchange over it.
struct Bench {
    Bench(PortKind kind, PrinterOptions options = {})
        : machine(std::move(options))
        , port(machine)
        , exchange({port, kind, machine.Clock(), machine.Messages(), progress, record, facts, nullptr})
    {
        port.Configure(kind == PortKind::Serial ? LinePortSettings("COM1", 9600, 8, 0, 0, 0)
                                                : NetworkPortSettings(machine.networkHost, machine.networkPort));
        port.Open();
        machine.Clock().ClearSleeps();
    }
    size_t Mark() const { return machine.lastLink->Written().size(); }
    // The writes since mark, one block each.
    std::vector<Bytes> Since(size_t mark) const
    {
        std::vector<Bytes> blocks;
        for (size_t i = mark; i < Mark(); ++i)
            blocks.push_back(machine.lastLink->Written()[i].bytes);
        return blocks;
    }

    sim::InProcessPlatform machine;
    CPrinterPort port;
    InterruptingProgress progress;
    StatusRecord record;
    PrinterFacts facts;
    StatusExchange exchange;
};

Waits Repeat(uint32_t ms, int times) { return Waits(size_t(times), ms); }

Waits Join(std::initializer_list<Waits> parts)
{
    Waits all;
    for (const Waits& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

} // namespace

// A window's first check, Get Status, a later check and Set Status: every
// block on the wire and every fixed wait, in order.
TEST(StatusExchange, GetAndSetStatusBytesAndWaitsInTheirOrder)
{
    const Waits drain = Repeat(100, 5), idleDrain = Repeat(50, 5);
    const struct {
        const char* name;
        PortKind kind;
        Waits getStatus; // first check, then the read
        Waits setStatus; // check with the model known, then the write
    } rows[] = {
        {"serial", PortKind::Serial,
         // drain; firmware and language, each after an idle drain; model and its drain;
         // drain; id byte; a switch read each; power save and its drain.
         Join({drain, idleDrain, {100}, idleDrain, {100}, idleDrain, {1000}, drain, drain, {100}, Repeat(100, 8),
               {100, 100}, drain}),
         Join({drain, drain, {100}, {100}, {100}, {1000, 1000}})},
        {"network", PortKind::Ethernet, Join({{200, 200, 200}, {100}, Repeat(200, 8), {100, 200}}),
         Join({{100}, {200}, {100}, {1000, 1000}})},
    };
    PrinterOptions options;
    options.switches[0] = 0x82; // reply 37 21 31 30 30 30 30 30 31 30 00
    options.switches[1] = 0x80;
    options.switches[6] = 0xE0; // switch 11: pins 6..8
    options.switches[7] = 0x04;
    options.powerSave = true;
    options.entranceTime = 255;
    auto query = [](uint8_t n) { return Bytes{0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, n}; };
    auto write = [](uint8_t n, const std::string& pins) { // pins 8..1
        Bytes b(pins.begin(), pins.end());
        b.insert(b.begin(), {0x1D, 0x28, 0x45, 0x0A, 0x00, 0x03, n});
        return b;
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Bench bench(row.kind, options);
        ASSERT_TRUE(bench.exchange.CheckPrinter());
        EXPECT_EQ(bench.Since(0), (std::vector<Bytes>{{0x1B, 0x40}, {0x1B, 0x3D, 0x01}, {0x1D, 0x49, 0x41},
                                                      {0x1D, 0x49, 0x45}, {0x1D, 0x49, 0x43}, {0x1D, 0x61, 0x00},
                                                      {0x1D, 0x49, 0x03}}));
        EXPECT_EQ(bench.facts.modelName, "TLR-740plusII");
        EXPECT_EQ(bench.facts.firmwareVersion, "V1.02 SIM");
        EXPECT_EQ(bench.facts.language, "ENGLISH");

        size_t mark = bench.Mark();
        EXPECT_TRUE(bench.exchange.ReadStatus().Complete());
        EXPECT_EQ(bench.Since(mark), (std::vector<Bytes>{query(1), query(2), query(3), query(4), query(5), query(6),
                                                         query(0x0B), query(0x0C), {0x08, 0x5E, 0x50, 0x31},
                                                         {0x1B, 0x3D, 0x01}}));
        EXPECT_EQ(PinsOf(bench.record, 0), "01000001");
        EXPECT_EQ(PinsOf(bench.record, 1), "00000001");
        EXPECT_EQ(PinsOf(bench.record, 6), "00000111");
        EXPECT_EQ(PinsOf(bench.record, 7), "00100000");
        EXPECT_EQ(bench.facts.powerSaveMode, 1);
        EXPECT_EQ(bench.facts.entranceTime, 255);
        EXPECT_EQ(bench.machine.Clock().Sleeps(), row.getStatus);
        bench.machine.Clock().ClearSleeps();

        mark = bench.Mark();
        ASSERT_TRUE(bench.exchange.CheckPrinter()); // the model is known: not asked again
        EXPECT_EQ(bench.Since(mark),
                  (std::vector<Bytes>{{0x1B, 0x40}, {0x1B, 0x3D, 0x01}, {0x1D, 0x61, 0x00}, {0x1D, 0x49, 0x03}}));
        bench.record = {};
        bench.record.switchPins[1][1] = PinOn;
        bench.record.switchPins[1][8] = PinOff;
        bench.record.switchPins[7][2] = PinOn;
        bench.record.switchPins[7][3] = 7; // anything else goes out as "2"
        bench.facts.powerSaveMode = 0;
        bench.facts.entranceTime = 30;
        mark = bench.Mark();
        EXPECT_TRUE(bench.exchange.WriteStatus());
        const std::string same = "22222222";
        std::vector<Bytes> expected = {
            {0x1D, 0x28, 0x45, 0x03, 0x00, 0x01, 0x49, 0x4E}, write(1, same), write(2, "02222221"),
            write(3, same), write(4, same), write(5, same), write(6, same),
            write(0x0B, same), write(0x0C, "22222212"), {0x1D, 0x28, 0x45, 0x04, 0x00, 0x02, 0x4F, 0x55, 0x54},
            {0x08, 0x5E, 0x50, 0x30, 0x00, 0x1E}, {0x1B, 0x3D, 0x01}};
        EXPECT_EQ(bench.Since(mark), expected);
        EXPECT_EQ(bench.machine.Clock().Sleeps(), row.setStatus);
        // The printer took it: switch 2 pin 1 set, pin 8 cleared, switch 12 pin 2 set and pin 3 kept,
        // power save off with a new entrance time.
        EXPECT_EQ(bench.machine.Printer().SwitchBits(1), 0x01);
        EXPECT_EQ(bench.machine.Printer().SwitchBits(7), 0x06);
        EXPECT_FALSE(bench.machine.Printer().PowerSave());
        EXPECT_EQ(bench.machine.Printer().EntranceTime(), 30);

        // Power save the printer did not answer for is left as it is.
        bench.facts.powerSaveUnanswered = true;
        bench.facts.entranceTime = 0;
        mark = bench.Mark();
        EXPECT_TRUE(bench.exchange.WriteStatus());
        expected.erase(expected.end() - 2);
        EXPECT_EQ(bench.Since(mark), expected);
        EXPECT_EQ(bench.machine.Printer().EntranceTime(), 30);
    }
}

TEST(StatusExchange, CheckPrinterRefusals)
{
    const std::vector<std::string> notOurs = {"This printer don't match our printer name.",
                                              "Don't use this program for other company product."};
    const struct {
        const char* what;
        PrinterOptions options;
        bool accepted;
        std::vector<std::string> texts;
    } rows[] = {
        {"silent", [] { PrinterOptions o; o.silent = true; return o; }(), false, notOurs},
        {"endless noise", [] { PrinterOptions o; o.noise = true; return o; }(), false, notOurs},
        {"another maker's model", [] { PrinterOptions o; o.model = "RP-F10"; return o; }(), false, notOurs},
        {"lower-case prefix", [] { PrinterOptions o; o.model = "tlr-740II"; return o; }(), false, notOurs},
        {"prefix not at the start", [] { PrinterOptions o; o.model = "XTLR-740II"; return o; }(), true, {}},
    };
    for (const auto& row : rows) {
        for (const Link& link : kLinks) {
            SCOPED_TRACE(std::string(row.what) + " on " + link.name);
            Bench bench(link.kind, row.options);
            EXPECT_EQ(bench.exchange.CheckPrinter(), row.accepted);
            std::vector<std::string> texts;
            for (const auto& m : bench.machine.Recorded().Messages())
                texts.push_back(m.text);
            EXPECT_EQ(texts, row.texts);
            // Each of the ten retries may wait out a network read's bound.
            EXPECT_LT(bench.machine.Clock().NowMicros(), 40'000'000);
            if (!row.options.silent && !row.options.noise)
                continue;
            // The status and firmware reads of such a printer are cut short as well: silent network
            // reads wait out their bound twice per block read, and still end.
            EXPECT_FALSE(bench.exchange.ReadStatus().Complete());
            bench.exchange.ReadFirmwareAndLanguage();
            EXPECT_LT(bench.machine.Clock().NowMicros(), 130'000'000);
        }
    }
}

TEST(StatusExchange, StrayByteShiftsTheReplyOfSwitch1OutOfItsLayout)
{
    // Switch 1's header is not looked for on a byte-wise link: a byte left
    // over from an earlier command is taken for it, and the digits shift.
    PrinterOptions options;
    for (uint8_t& bits : options.switches)
        bits = 0x5A; // pins 2, 4, 5, 7 on
    Bench bench(PortKind::Serial, options);
    const uint8_t idQuery[] = {0x1D, 0x49, 0x03};
    bench.port.Write(idQuery, sizeof idQuery); // its 0x63 answer stays unread
    const StatusReadReport report = bench.exchange.ReadStatus();
    EXPECT_EQ(report.missingSwitches, std::vector<int>{1});
    EXPECT_FALSE(report.powerSaveMissing);
    EXPECT_EQ(PinsOf(bench.record, 0), "--------");
    // Switch 2 looks for its header and skips the rest of switch 1's reply.
    for (int slot = 1; slot < 8; ++slot)
        EXPECT_EQ(PinsOf(bench.record, slot), "01011010") << "slot " << slot;
}

namespace {

struct StopRow {
    const char* name;
    PortKind kind;
    int interruptAt;  // the progress step the program is interrupted at; 0: before Set Status starts
    int64_t closeAfter; // the bytes the printer takes before it hangs up; -1 never
    size_t commands;  // the writes that go out
    Waits waits;      // every wait of Set Status
    WriteOperation told; // how the stop is reported
};

class SetStatusStopped : public testing::TestWithParam<StopRow> {
protected:
    void TearDown() override { platform::ClearInterruption(); }
};

// Interrupted, Set Status still sends the command that leaves user-setting
// mode once the entry went out, and stops; hung up, it says the printer may
// still be in that mode.
TEST_P(SetStatusStopped, LeavesUserSettingModeOrSaysSo)
{
    const StopRow& row = GetParam();
    PrinterOptions options;
    options.closeAfter = row.closeAfter;
    Bench bench(row.kind, options);
    bench.progress.interruptAt = row.interruptAt;
    if (row.interruptAt == 0)
        platform::Interrupt(0);
    const bool whole = row.commands == 12;
    EXPECT_EQ(bench.exchange.WriteStatus(), whole);
    const std::vector<Bytes> sent = bench.Since(0);
    ASSERT_EQ(sent.size(), row.commands);
    const Bytes enter(cmd::kEnterUserSetting.begin(), cmd::kEnterUserSetting.end());
    if (row.commands > 0) { // whole, or as much as the printer took before it hung up
        EXPECT_EQ(sent[0], Bytes(enter.begin(), enter.begin() + long(std::min(sent[0].size(), enter.size()))));
    }
    if (row.commands > 9) {
        EXPECT_EQ(sent[9], Bytes(cmd::kEndUserSetting.begin(), cmd::kEndUserSetting.end()));
    }
    EXPECT_EQ(bench.machine.Clock().Sleeps(), row.waits);
    // What was asked for and not sent is counted, so the stop says how far it got.
    EXPECT_EQ(bench.port.Tally().CutShort(), !whole);
    EXPECT_EQ(bench.exchange.SetStatusOperation(), row.told);
}

constexpr auto kPlain = WriteOperation::SetStatus, kInUserSetting = WriteOperation::SetStatusInUserSetting;

INSTANTIATE_TEST_SUITE_P(
    Exchange, SetStatusStopped,
    testing::Values(StopRow{"InterruptedBefore", PortKind::Serial, 0, -1, 0, {}, kPlain},
                    // The first step comes right after entering.
                    StopRow{"InterruptedAfterEnteringSerial", PortKind::Serial, 1, -1, 10, {100}, kPlain},
                    // After select printer: only the two closing seconds are left out.
                    StopRow{"InterruptedBeforeTheClosingWaitsSerial", PortKind::Serial, 10, -1, 12, {100, 100},
                            kPlain},
                    // A hang-up keeps every wait.
                    StopRow{"HungUpInTheEntry", PortKind::Serial, -1, 4, 1, {100, 100, 1000, 1000}, kPlain},
                    // Inside the fourth switch write.
                    StopRow{"HungUpAfterEnteringNetwork", PortKind::Ethernet, -1, 8 + 3 * 15 + 7, 5, {200, 100, 1000, 1000},
                            kInUserSetting}),
    [](const testing::TestParamInfo<StopRow>& param) { return std::string(param.param.name); });

// Interrupted between the blocks of a font download: the block under way
// and its wait finish, then nothing more goes out or is waited.
TEST_F(SetStatusStopped, FontDownloadStopsBetweenBlocks)
{
    Bench bench(PortKind::Ethernet);
    FontDownload download(bench.port, bench.machine.GetClock(), bench.progress, {test::FontImageBytes(615695), "test"});
    int ticks = 0;
    const FontDownloadOutcome outcome = RunFontDownload(download, bench.machine.GetClock(), [&] {
        if (++ticks == 3)
            platform::Interrupt(0);
    });
    EXPECT_EQ(outcome.end, FontDownloadEnd::Stopped);
    EXPECT_EQ(outcome.sent, 64u + 3 * 4096u);
    EXPECT_EQ(bench.Since(0).size(), 4u);
    EXPECT_EQ(bench.machine.Clock().Sleeps(), Waits(6, 10));
}

} // namespace
