#include "sim/VirtualPrinter.h"

#include <gtest/gtest.h>

using namespace kalo::sim;
using Bytes = std::vector<uint8_t>;

namespace {

struct Printer {
    explicit Printer(PrinterOptions options = {})
        : printer(std::move(options), [this](const std::string& line) { paper.push_back(line); })
    {
    }
    // All at once, or a byte at a time as a slow line delivers them.
    Bytes Send(const Bytes& bytes, bool trickle = false)
    {
        Bytes reply;
        if (!trickle)
            printer.Receive(bytes.data(), bytes.size(), reply);
        for (size_t i = 0; trickle && i < bytes.size(); ++i)
            printer.Receive(&bytes[i], 1, reply);
        return reply;
    }
    std::vector<std::string> paper;
    VirtualPrinter printer;
};

Bytes Text(const std::string& text)
{
    Bytes bytes{0x5F};
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

} // namespace

TEST(VirtualPrinter, AnswersQueriesInTheirReplyLayouts)
{
    PrinterOptions options;
    std::string error;
    options.model = "TLR-740II";
    options.firmware = "F1";
    options.language = "L2";
    ASSERT_TRUE(ApplySwitch("1=10000010", options, error)); // pins 8 and 2, as kalo-vprinter --switch takes them
    ASSERT_TRUE(ApplySwitch("11=00000001", options, error));
    options.powerSave = true;
    options.entranceTime = 200;
    const struct {
        const char* what;
        const char* fault;
        Bytes command;
        Bytes reply;
    } rows[] = {
        {"id byte", "", {0x1D, 0x49, 0x03}, {0x63}},
        {"firmware", "", {0x1D, 0x49, 0x41}, Text("F1")},
        {"maker", "", {0x1D, 0x49, 0x42}, Text("KEMTRAN")},
        {"model", "", {0x1D, 0x49, 0x43}, Text("TLR-740II")},
        {"language", "", {0x1D, 0x49, 0x45}, Text("L2")},
        {"switch 1", "", {0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, 0x01},
         {0x37, 0x21, '1', '0', '0', '0', '0', '0', '1', '0', 0x00}},
        {"switch 11", "", {0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, 0x0B},
         {0x37, 0x21, '0', '0', '0', '0', '0', '0', '0', '1', 0x00}},
        {"switch 7 does not exist", "", {0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, 0x07}, {}},
        {"power save", "", {0x08, 0x5E, 0x50, 0x31}, {0x50, 0x01, 200, 0x00}},
        {"enter user setting", "", {0x1D, 0x28, 0x45, 0x03, 0x00, 0x01, 0x49, 0x4E}, {0x37, 0x20, 0x00}},
        {"initialise and friends say nothing", "", {0x1B, 0x40, 0x1B, 0x3D, 0x01, 0x1D, 0x61, 0x00}, {}},
        {"wrong id", "wrong-id", {0x1D, 0x49, 0x03}, {0x62}},
        {"wrong maker", "wrong-maker", {0x1D, 0x49, 0x42}, Text("ACME")},
        {"wrong model", "wrong-model", {0x1D, 0x49, 0x43}, Text("RP-F10")},
        {"silent", "silent", {0x1D, 0x49, 0x03, 0x1D, 0x49, 0x42}, {}},
    };
    for (const auto& row : rows) {
        for (bool trickle : {false, true}) {
            SCOPED_TRACE(std::string(row.what) + (trickle ? ", a byte at a time" : ""));
            PrinterOptions faulty = options;
            ASSERT_TRUE(!*row.fault || ApplyFault(row.fault, faulty, error)) << error;
            Printer p(faulty);
            EXPECT_EQ(p.Send(row.command, trickle), row.reply);
        }
    }
}

// A stuck pin keeps its value through writes; the others of its switch change.
TEST(VirtualPrinter, SwitchWritesCountOnlyInUserSetting)
{
    // What the writes do to the switches is checked where the program sends them.
    const struct {
        const char* name;
        std::vector<const char*> faults;
        uint8_t written;
    } rows[] = {
        {"no fault", {}, 0x78},
        {"pin 8 stuck on", {"stuck=12:8"}, 0xF8},
        {"pins 8 and 4 stuck", {"stuck=12:8", "stuck=12:4"}, 0xF0},
        {"another switch's pin stuck", {"stuck=11:8"}, 0x78},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PrinterOptions options;
        std::string error;
        for (const char* fault : row.faults)
            ASSERT_TRUE(ApplyFault(fault, options, error)) << error;
        options.switches[7] = 0xF0; // switch 12
        Printer p(options);
        const Bytes write12 = {0x1D, 0x28, 0x45, 0x0A, 0x00, 0x03, 0x0C, '0', '2', '2', '2', '1', '2', '2', '0'};
        p.Send(write12);
        EXPECT_EQ(p.printer.SwitchBits(7), 0xF0);
        p.Send({0x1D, 0x28, 0x45, 0x03, 0x00, 0x01, 0x49, 0x4E});
        EXPECT_TRUE(p.printer.InUserSetting());
        p.Send(write12); // pin 8 off, pin 4 on, pin 1 off, the rest kept
        EXPECT_EQ(p.printer.SwitchBits(7), row.written);
        p.Send({0x1D, 0x28, 0x45, 0x04, 0x00, 0x02, 0x4F, 0x55, 0x54});
        EXPECT_FALSE(p.printer.InUserSetting());
    }
}

TEST(VirtualPrinter, PrintsTheEditorSnippetsOnPaper)
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

TEST(VirtualPrinter, CountsAFontDownload)
{
    Printer p;
    const uint32_t count = 10000;
    Bytes image = {0x1C, 0x6C, 0x64, 0x73, 0x58, uint8_t(count), uint8_t(count >> 8), 0, 0};
    image.resize(9 + count, 0x1B); // font data that looks like commands is still font data
    p.Send(Bytes(image.begin(), image.begin() + 4000));
    p.Send(Bytes(image.begin() + 4000, image.end()));
    EXPECT_EQ(p.printer.FontBytesReceived(), count);
    EXPECT_EQ(p.Send({0x1D, 0x49, 0x03}), Bytes{0x63}); // commands again after it
    EXPECT_EQ(p.paper.back(), "[font download complete: 10000 bytes]");
}

// A garbage printer answers each query, and only a query, with at most 40
// bytes, and the same seed gives the same bytes, so a failing run replays.
TEST(VirtualPrinter, GarbageRepliesReplayBySeed)
{
    const Bytes queries[] = {{0x1D, 0x49, 0x03}, {0x1D, 0x49, 0x42}, {0x1B, 0x40},
                             {0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, 0x01}, {0x08, 0x5E, 0x50, 0x31}};
    std::vector<Bytes> bySeed;
    for (const char* fault : {"garbage=1", "garbage=7", "garbage=4294967295"}) {
        SCOPED_TRACE(fault);
        PrinterOptions options;
        std::string error;
        ASSERT_TRUE(ApplyFault(fault, options, error)) << error;
        Printer first(options), again(options);
        Bytes all;
        for (const Bytes& query : queries) {
            const Bytes reply = first.Send(query);
            EXPECT_EQ(again.Send(query), reply);
            EXPECT_LE(reply.size(), PrinterOptions::kGarbageMaxBytes);
            if (query[0] == 0x1B) {
                EXPECT_TRUE(reply.empty());
            }
            all.insert(all.end(), reply.begin(), reply.end());
        }
        for (const Bytes& other : bySeed)
            EXPECT_NE(all, other);
        bySeed.push_back(all);
    }
}
