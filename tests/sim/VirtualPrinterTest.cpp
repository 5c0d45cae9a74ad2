#include "sim/VirtualPrinter.h"

#include <gtest/gtest.h>


using namespace kalo::sim;
using Bytes = std::vector<uint8_t>;

namespace {

struct Printer {
    explicit Printer(PrinterOptions options = {}, std::vector<const char*> faults = {})
        : printer(WithFaults(std::move(options), faults), [this](const std::string& line) { paper.push_back(line); })
    {
    }
    static PrinterOptions WithFaults(PrinterOptions options, const std::vector<const char*>& faults)
    {
        std::string error;
        for (const char* fault : faults)
            EXPECT_TRUE(ApplyFault(fault, options, error)) << error;
        return options;
    }
    // All at once, or a byte at a time as a slow line delivers them.
    Bytes Send(const Bytes& bytes, bool trickle = false)
    {
        Bytes reply;
        for (size_t i = 0; i < bytes.size(); i += trickle ? 1 : bytes.size())
            printer.Receive(&bytes[i], trickle ? 1 : bytes.size(), reply);
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

const Bytes kEnterUserSetting = {0x1D, 0x28, 0x45, 0x03, 0x00, 0x01, 0x49, 0x4E};

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
        const char* fault;
        Bytes command;
        Bytes reply;
    } rows[] = {
        {nullptr, {0x1D, 0x49, 0x03}, {0x63}}, {nullptr, {0x1D, 0x49, 0x41}, Text("F1")},
        {nullptr, {0x1D, 0x49, 0x42}, Text("KEMTRAN")}, {nullptr, {0x1D, 0x49, 0x43}, Text("TLR-740II")},
        {nullptr, {0x1D, 0x49, 0x45}, Text("L2")},
        {nullptr, {0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, 0x01}, {0x37, 0x21, '1', '0', '0', '0', '0', '0', '1', '0', 0}},
        {nullptr, {0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, 0x0B}, {0x37, 0x21, '0', '0', '0', '0', '0', '0', '0', '1', 0}},
        {nullptr, {0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, 0x07}, {}}, // switch 7 does not exist
        {nullptr, {0x08, 0x5E, 0x50, 0x31}, {0x50, 0x01, 200, 0x00}},
        {nullptr, kEnterUserSetting, {0x37, 0x20, 0x00}},
        {nullptr, {0x1B, 0x40, 0x1B, 0x3D, 0x01, 0x1D, 0x61, 0x00}, {}}, // initialise and friends say nothing
        {"wrong-id", {0x1D, 0x49, 0x03}, {0x62}}, {"wrong-maker", {0x1D, 0x49, 0x42}, Text("ACME")},
        {"wrong-model", {0x1D, 0x49, 0x43}, Text("RP-F10")}, {"silent", {0x1D, 0x49, 0x03, 0x1D, 0x49, 0x42}, {}},
    };
    for (const auto& row : rows) {
        for (bool trickle : {false, true}) {
            SCOPED_TRACE(::testing::PrintToString(row.command) + (trickle ? ", a byte at a time" : ""));
            Printer p(options, row.fault ? std::vector{row.fault} : std::vector<const char*>{});
            EXPECT_EQ(p.Send(row.command, trickle), row.reply);
        }
    }
}

// Switch writes count only in user-setting mode; a stuck pin keeps its value
// through them while the others of its switch change. (What the writes do to
// the switches is checked where the program sends them.)
TEST(VirtualPrinter, SwitchWritesCountOnlyInUserSetting)
{
    const std::pair<std::vector<const char*>, uint8_t> rows[] = {
        {{}, 0x78}, {{"stuck=12:8"}, 0xF8}, {{"stuck=12:8", "stuck=12:4"}, 0xF0}, {{"stuck=11:8"}, 0x78}};
    for (const auto& [faults, written] : rows) {
        SCOPED_TRACE(faults.empty() ? "no fault" : faults.back());
        PrinterOptions options;
        options.switches[7] = 0xF0; // switch 12
        Printer p(options, faults);
        const Bytes write12 = {0x1D, 0x28, 0x45, 0x0A, 0x00, 0x03, 0x0C, '0', '2', '2', '2', '1', '2', '2', '0'};
        p.Send(write12);
        EXPECT_EQ(p.printer.SwitchBits(7), 0xF0);
        p.Send(kEnterUserSetting);
        EXPECT_TRUE(p.printer.InUserSetting());
        p.Send(write12); // pin 8 off, pin 4 on, pin 1 off, the rest kept
        EXPECT_EQ(p.printer.SwitchBits(7), written);
        p.Send({0x1D, 0x28, 0x45, 0x04, 0x00, 0x02, 0x4F, 0x55, 0x54});
        EXPECT_FALSE(p.printer.InUserSetting());
    }
}

TEST(VirtualPrinter, PrintsTheEditorSnippetsAndCountsAFontDownload)
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

    Printer font;
    const uint32_t count = 10000;
    Bytes image = {0x1C, 0x6C, 0x64, 0x73, 0x58, uint8_t(count), uint8_t(count >> 8), 0, 0};
    image.resize(9 + count, 0x1B); // font data that looks like commands is still font data
    font.Send(Bytes(image.begin(), image.begin() + 4000));
    font.Send(Bytes(image.begin() + 4000, image.end()));
    EXPECT_EQ(font.printer.FontBytesReceived(), count);
    EXPECT_EQ(font.Send({0x1D, 0x49, 0x03}), Bytes{0x63}); // commands again after it
    EXPECT_EQ(font.paper.back(), "[font download complete: 10000 bytes]");
}
