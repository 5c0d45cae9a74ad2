#include "sim/InProcessPlatform.h"
#include "status/StatusExchange.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace kalo;
using Bytes = std::vector<uint8_t>;
using sim::PrinterOptions;

namespace {

struct Link {
    const char* name;
    PortKind kind;
};
const Link kLinks[] = {{"serial", PortKind::Serial}, {"network", PortKind::Ethernet}};

// An open port to the in-process printer and an exchange over it.
struct Bench {
    Bench(PortKind kind, PrinterOptions options = {})
        : machine(std::move(options))
        , port(machine)
        , exchange({port, kind, machine.Clock(), machine.Messages(), progress, record, facts, nullptr})
    {
        const PortSettings settings = kind == PortKind::Serial
            ? LinePortSettings("COM1", 9600, 8, 0, 0, 0)
            : NetworkPortSettings(machine.networkHost, machine.networkPort);
        port.Configure(settings);
        port.Open();
        machine.Clock().ClearSleeps();
    }
    std::vector<Bytes> Written() const
    {
        std::vector<Bytes> all;
        for (const auto& chunk : machine.lastLink->Written())
            all.push_back(chunk.bytes);
        return all;
    }
    uint64_t Waited() const { return machine.Clock().TotalSleptMs(); }
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const auto& m : machine.Recorded().Messages())
            texts.push_back(m.text);
        return texts;
    }

    sim::InProcessPlatform machine;
    CPrinterPort port;
    ProgressState progress;
    StatusRecord record;
    PrinterFacts facts;
    StatusExchange exchange;
};

Bytes SwitchQuery(uint8_t n)
{
    return {0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, n};
}

} // namespace

TEST(StatusExchange, CheckPrinterAsksForTheModelOnlyOnce)
{
    for (const Link& link : kLinks) {
        Bench bench(link.kind);
        ASSERT_TRUE(bench.exchange.CheckPrinter()) << link.name;
        EXPECT_EQ(bench.Written(), (std::vector<Bytes>{{0x1B, 0x40}, {0x1B, 0x3D, 0x01}, {0x1D, 0x49, 0x41},
                                                       {0x1D, 0x49, 0x45}, {0x1D, 0x49, 0x43}, {0x1D, 0x61, 0x00},
                                                       {0x1D, 0x49, 0x03}}))
            << link.name;
        EXPECT_EQ(bench.facts.modelName, "TLR-740plusII");
        EXPECT_EQ(bench.facts.firmwareVersion, "V1.02 SIM");
        EXPECT_EQ(bench.facts.language, "ENGLISH");
        EXPECT_EQ(bench.progress.Position(), 90);

        const size_t before = bench.Written().size();
        ASSERT_TRUE(bench.exchange.CheckPrinter());
        const std::vector<Bytes> all = bench.Written();
        const std::vector<Bytes> again(all.begin() + long(before), all.end());
        EXPECT_EQ(again, (std::vector<Bytes>{{0x1B, 0x40}, {0x1B, 0x3D, 0x01}, {0x1D, 0x61, 0x00}, {0x1D, 0x49, 0x03}}));
    }
}

TEST(StatusExchange, CheckPrinterRefusals)
{
    const struct {
        const char* what;
        PrinterOptions options;
        std::vector<std::string> texts;
    } rows[] = {
        {"silent", [] { PrinterOptions o; o.silent = true; return o; }(),
         {"This printer don't match our printer name.", "Don't use this program for other company product."}},
        {"another maker's model", [] { PrinterOptions o; o.model = "RP-F10"; return o; }(),
         {"This printer don't match our printer name.", "Don't use this program for other company product."}},
        {"lower-case prefix", [] { PrinterOptions o; o.model = "tlr-740II"; return o; }(),
         {"This printer don't match our printer name.", "Don't use this program for other company product."}},
        {"no id byte", [] { PrinterOptions o; o.wrongId = true; return o; }(),
         {"Can't connect printer. Please restart printer."}},
    };
    for (const auto& row : rows) {
        for (const Link& link : kLinks) {
            Bench bench(link.kind, row.options);
            EXPECT_FALSE(bench.exchange.CheckPrinter()) << row.what << " on " << link.name;
            EXPECT_EQ(bench.Texts(), row.texts) << row.what << " on " << link.name;
            // Each of the ten retries may wait out a network read's bound.
            EXPECT_LT(bench.machine.Clock().NowMicros(), 40'000'000) << row.what;
        }
    }
    PrinterOptions prefixed;
    prefixed.model = "XTLR-740II"; // the prefix may stand anywhere
    Bench bench(PortKind::Serial, prefixed);
    EXPECT_TRUE(bench.exchange.CheckPrinter());
}

TEST(StatusExchange, ReadSwitchesOnBothKindsOfLink)
{
    PrinterOptions options;
    options.switches[0] = 0x82; // reply 37 21 31 30 30 30 30 30 31 30 00
    options.switches[6] = 0xE0; // switch 11: pins 6..8
    options.switches[7] = 0x02;
    options.powerSave = true;
    options.entranceTime = 255;
    for (const Link& link : kLinks) {
        Bench bench(link.kind, options);
        bench.exchange.ReadSwitches();
        const std::vector<Bytes> expected = {SwitchQuery(1), SwitchQuery(2), SwitchQuery(3), SwitchQuery(4),
                                             SwitchQuery(5), SwitchQuery(6), SwitchQuery(0x0B), SwitchQuery(0x0C)};
        EXPECT_EQ(bench.Written(), expected) << link.name;
        const int32_t switch1[9] = {0, PinOff, PinOn, PinOff, PinOff, PinOff, PinOff, PinOff, PinOn};
        for (int pin = 1; pin <= 8; ++pin) {
            EXPECT_EQ(bench.record.switchPins[0][pin], switch1[pin]) << link.name << " pin " << pin;
            EXPECT_EQ(bench.record.switchPins[6][pin], pin >= 6 ? PinOn : PinOff);
            EXPECT_EQ(bench.record.switchPins[7][pin], pin == 2 ? PinOn : PinOff);
        }
        bench.exchange.ReadPowerSave();
        EXPECT_EQ(bench.facts.powerSaveMode, 1);
        EXPECT_EQ(bench.facts.entranceTime, 255);
        EXPECT_TRUE(bench.facts.entranceTimeEnabled);
    }
}

TEST(StatusExchange, MissingAndEndlessRepliesEndInBoundedTime)
{
    for (bool noise : {false, true}) {
        for (const Link& link : kLinks) {
            PrinterOptions options;
            options.silent = !noise;
            options.noise = noise;
            Bench bench(link.kind, options);
            bench.record.switchPins[3][5] = PinOn;
            bench.exchange.ReadSwitches();
            bench.exchange.ReadPowerSave();
            if (!noise) {
                for (int slot = 0; slot < 8; ++slot) {
                    for (int pin = 1; pin <= 8; ++pin)
                        EXPECT_EQ(bench.record.switchPins[slot][pin], PinNoChange) << link.name;
                }
                EXPECT_EQ(bench.facts.powerSaveMode, 0);
                EXPECT_EQ(bench.facts.entranceTime, 0);
            }
            bench.exchange.ReadFirmwareAndLanguage();
            // Silent network reads wait out their bound twice per block read; still bounded.
            EXPECT_LT(bench.machine.Clock().NowMicros(), 90'000'000) << link.name << " noise " << noise;
        }
    }
}

TEST(StatusExchange, WriteStatusSendsEverySwitchAndThePowerSave)
{
    for (const Link& link : kLinks) {
        Bench bench(link.kind);
        bench.facts.powerSaveMode = 1;
        bench.facts.entranceTime = 255;
        bench.record.switchPins[1][1] = PinOn;
        bench.record.switchPins[1][8] = PinOff;
        bench.record.switchPins[7][2] = PinOn;
        bench.record.switchPins[7][3] = 7; // anything else goes out as "2"
        bench.exchange.WriteStatus();
        const auto written = bench.Written();
        ASSERT_EQ(written.size(), 12u);
        EXPECT_EQ(written[0], (Bytes{0x1D, 0x28, 0x45, 0x03, 0x00, 0x01, 0x49, 0x4E}));
        auto write = [](uint8_t n, const char* pins) {
            Bytes b = {0x1D, 0x28, 0x45, 0x0A, 0x00, 0x03, n};
            b.insert(b.end(), pins, pins + 8);
            return b;
        };
        EXPECT_EQ(written[1], write(1, "22222222"));
        EXPECT_EQ(written[2], write(2, "02222221"));
        EXPECT_EQ(written[7], write(0x0B, "22222222"));
        EXPECT_EQ(written[8], write(0x0C, "22222212"));
        EXPECT_EQ(written[9], (Bytes{0x1D, 0x28, 0x45, 0x04, 0x00, 0x02, 0x4F, 0x55, 0x54}));
        EXPECT_EQ(written[10], (Bytes{0x08, 0x5E, 0x50, 0x30, 0x01, 0xFF}));
        EXPECT_EQ(written[11], (Bytes{0x1B, 0x3D, 0x01}));
        // The printer took it: switch 2 pin 1 set, pin 8 cleared, switch 12 pin 2 set.
        EXPECT_EQ(bench.machine.Printer().SwitchBits(1), 0x01);
        EXPECT_EQ(bench.machine.Printer().SwitchBits(7), 0x02);
        EXPECT_TRUE(bench.machine.Printer().PowerSave());
        EXPECT_EQ(bench.progress.StepSize(), 10);
    }
}

TEST(StatusExchange, FixedWaitsOfGetAndSetStatus)
{
    const struct {
        const char* name;
        PortKind kind;
        uint64_t getStatus; // first check of a window, then the read
        uint64_t setStatus; // check with the model known, then the write
    } rows[] = {
        // serial: drain 500, idle drains 3 x 250, texts 2 x 100, model 1000 + drain 500,
        // drain 500, id 100 = 3550; switches 8 x 100, power save 100 + 100 + drain 500 = 1500.
        {"serial", PortKind::Serial, 3550 + 1500, 500 + 500 + 100 + (100 + 100 + 2000)},
        // network: texts 2 x 200, model 200, id 100 = 700; switches 8 x 200, power save 100 + 200.
        {"network", PortKind::Ethernet, 700 + 1900, 100 + (200 + 100 + 2000)},
    };
    for (const auto& row : rows) {
        Bench bench(row.kind);
        ASSERT_TRUE(bench.exchange.CheckPrinter());
        bench.exchange.ReadStatus();
        EXPECT_EQ(bench.Waited(), row.getStatus) << row.name;
        EXPECT_EQ(bench.progress.Position(), 100);
        bench.machine.Clock().ClearSleeps();
        ASSERT_TRUE(bench.exchange.CheckPrinter());
        bench.exchange.WriteStatus();
        EXPECT_EQ(bench.Waited(), row.setStatus) << row.name;
    }
}

TEST(StatusExchange, PrintSheets)
{
    Bench bench(PortKind::Serial);
    ASSERT_TRUE(bench.exchange.PrintStatus());
    EXPECT_EQ(bench.Written().back(), (Bytes{0x08, 0x39, 0x01, 0x00}));
    bench.exchange.PrintCodepage();
    EXPECT_EQ(bench.Written().back(), (Bytes{0x08, 0x39, 0x02, 0x00}));
    EXPECT_EQ(bench.machine.Paper().front(), "[status sheet]");

    PrinterOptions silent;
    silent.silent = true;
    Bench quiet(PortKind::Ethernet, silent);
    EXPECT_FALSE(quiet.exchange.PrintStatus());
    quiet.exchange.PrintCodepage(); // sent even when nobody answers
    EXPECT_EQ(quiet.Written().back(), (Bytes{0x08, 0x39, 0x02, 0x00}));
}
