#include "SwitchPins.h"
#include "status/MemSwitchForm.h"
#include "status/PrinterSettingForm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

using namespace kalo;

namespace {

struct Page {
    Page()
    {
        form.InitDialog();
        form.record = &record;
        form.hasStatus = true;
    }
    StatusRecord record;
    PrinterSettingForm form;
};

} // namespace

TEST(PrinterSettingForm, EveryCodePageBothWays)
{
    // The list is the table; what matters is where its value lands: bits 0..4 on pins 4..8, bit 5 on pin 3.
    const std::map<int, std::string> anchors = {
        {1, "00000000"}, {2, "00010000"}, {3, "00001000"}, {17, "00000001"}, {33, "00100000"}, {37, "00100100"}};
    std::set<std::string> seen;
    for (int position = 1; position < int(PrinterSettingForm::kCodePages.size()); ++position) {
        SCOPED_TRACE(PrinterSettingForm::kCodePages[size_t(position)]);
        Page page;
        page.record.switchPins[1][2] = PinOff; // switch 2 has been read
        page.form.OnCodePage(position);
        const std::string pins = PinsOf(page.record, 1);
        EXPECT_TRUE(seen.insert(pins).second) << pins;
        EXPECT_EQ(pins, anchors.count(position) ? anchors.at(position) : pins);
        EXPECT_EQ(PinsOf(page.record, 7), "00000000");
        page.form.codePageChoice = 0;
        page.form.RefreshSettingPage(true);
        EXPECT_EQ(page.form.codePageChoice, position);
        EXPECT_TRUE(page.form.codePageEnabled);
    }
    EXPECT_EQ(seen.size(), 37u);
    Page noChange;
    noChange.form.OnCodePage(0);
    EXPECT_EQ(PinsOf(noChange.record, 1), "0-------");
}

TEST(PrinterSettingForm, ListsBothWays)
{
    const struct {
        const char* what;
        void (*write)(StatusRecord&, int);
        int (*read)(const StatusRecord&);
        int positions;
    } rows[] = {
        {"print speed", &PrinterSettingForm::WritePrintSpeed, &PrinterSettingForm::ReadPrintSpeed, 4},
        {"emulation", &PrinterSettingForm::WriteEmulation, &PrinterSettingForm::ReadEmulation, 6},
        {"single-byte font", &PrinterSettingForm::WriteSingleByteFont, &PrinterSettingForm::ReadSingleByteFont, 4},
    };
    for (const auto& row : rows) {
        for (int position = 1; position < row.positions; ++position) {
            StatusRecord record;
            std::fill(&record.switchPins[0][0], &record.switchPins[7][8] + 1, PinOff);
            row.write(record, position);
            EXPECT_EQ(row.read(record), position) << row.what << " " << position;
        }
    }
}

// A double-byte font takes the code page away; "No Change" gives back both
// the code page and switch 12 as the printer sent them.
TEST(PrinterSettingForm, DoubleByteFontChoices)
{
    Page page;
    SetPins(page.record, 7, "001");
    page.form.RefreshSettingPage(true); // remembers slot 7 as read
    page.form.OnDoubleByteFont(4);      // BIG5(Traditional Chinese): value 2
    EXPECT_EQ(PinsOf(page.record, 7), "01000000");
    EXPECT_FALSE(page.form.codePageEnabled);

    page.form.codePageChoice = 5;
    page.record.switchPins[1][2] = PinOn;
    page.form.OnDoubleByteFont(0); // switch 2 pin 2 untouched
    EXPECT_EQ(PinsOf(page.record, 7), "001-----");
    EXPECT_EQ(PinsOf(page.record, 1), "01000000");
    EXPECT_EQ(page.form.codePageChoice, 5);
    EXPECT_TRUE(page.form.codePageEnabled);

    page.form.OnDoubleByteFont(1); // [Single Byte Font]: value 0
    EXPECT_EQ(page.record.switchPins[1][1], PinNoChange);

    // A printer whose switch 12 holds value 1..3 shows a disabled "No Change" code page.
    Page read;
    SetPins(read.record, 7, "11");
    read.form.codePageChoice = 4;
    read.form.RefreshSettingPage(true);
    EXPECT_EQ(read.form.codePageChoice, 0);
    EXPECT_FALSE(read.form.codePageEnabled);
}

// Which rows can be changed and where a change lands; the labels are the table's.
TEST(MemSwitchForm, PagesAndLimits)
{
    StatusRecord record;
    SetPins(record, 6, "-----111");
    MemSwitchForm form;
    form.record = &record;
    form.hasStatus = true;
    form.ShowSwitch(1, true);
    EXPECT_FALSE(form.rows[0].enabled); // print speed belongs to the other tab
    EXPECT_FALSE(form.backEnabled);
    for (int page = 2; page <= 7; ++page)
        form.OnNext();
    EXPECT_EQ(form.switchNumberText, "11");
    EXPECT_FALSE(form.nextEnabled);
    EXPECT_EQ(form.pinIndex[5], PinOn);

    form.ShowSwitch(4, true);
    form.OnPinChanged(1, 2);
    EXPECT_EQ(record.switchPins[3][1], PinOff);

    form.ShowSwitch(1, false);
    for (int pin = 1; pin <= 8; ++pin)
        EXPECT_FALSE(form.rows[pin - 1].enabled) << pin;
    EXPECT_FALSE(form.backEnabled || form.nextEnabled);
}
