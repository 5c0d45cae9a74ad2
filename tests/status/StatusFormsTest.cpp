#include "status/MemSwitchForm.h"
#include "status/PrinterSettingForm.h"

#include <gtest/gtest.h>

#include <cstring>

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

void SetPins(StatusRecord& record, int slot, std::initializer_list<std::pair<int, int32_t>> pins)
{
    for (const auto& [pin, state] : pins)
        record.switchPins[slot][pin] = state;
}

} // namespace

TEST(PrinterSettingForm, EveryCodePageBothWays)
{
    // Positions 1..37: the list's text and the pins of switch 2 (3..8) that are on.
    const struct {
        const char* text;
        const char* onPins;
    } rows[] = {
        {"PC437 (USA: Standard Europe)", ""},
        {"Katakana", "4"},
        {"PC850 (Multilingual)", "5"},
        {"PC860 (Portugues)", "45"},
        {"PC863 (Canadian-French)", "6"},
        {"PC865 (Nordic)", "46"},
        {"WPC1252 (Lantin 1)", "56"},
        {"PC866 (Cyrillic #2)", "456"},
        {"PC852 (Latin 2)", "7"},
        {"PC858 (Euro)", "47"},
        {"PC862 (Hebrew DOS code)", "57"},
        {"PC864 (Arabic)", "457"},
        {"Thai character code 42", "67"},
        {"WPC1253 (Greek)", "467"},
        {"WPC1254 (Turkish)", "567"},
        {"WPC1257 (Baltic)", "4567"},
        {"Farsi", "8"},
        {"WPC1251 (Cyrillic)", "48"},
        {"PC737 (Greek)", "58"},
        {"PC775 (Baltic)", "458"},
        {"Thai character code 14", "68"},
        {"Hebrew Old code", "468"},
        {"WPC1255 (Hebrew)", "568"},
        {"Thai character code 11", "4568"},
        {"Thai character code 18", "78"},
        {"PC855 (Cyrillic)", "478"},
        {"PC857 (Turkish)", "578"},
        {"PC928 (Greek)", "4578"},
        {"Thai character code 16", "678"},
        {"WPC1256 (ARB)", "4678"},
        {"WPC1258 (Vietnam)", "5678"},
        {"Khmer (Cambodia)", "45678"},
        {"PC852 (MSAN)", "3"},
        {"PC864 (CASIO)", "34"},
        {"PC865/PC1252 (ADC)", "35"},
        {"PC866 (DTK)", "345"},
        {"WPC1250 (Czech)", "36"},
    };
    ASSERT_EQ(PrinterSettingForm::kCodePages.size(), 38u);
    EXPECT_EQ(PrinterSettingForm::kCodePages[0], "No Change");
    for (int position = 1; position <= 37; ++position) {
        const auto& row = rows[position - 1];
        SCOPED_TRACE(row.text);
        EXPECT_EQ(PrinterSettingForm::kCodePages[size_t(position)], row.text);
        Page page;
        page.record.switchPins[1][2] = PinOff; // switch 2 has been read
        page.form.OnCodePage(position);
        for (int pin = 3; pin <= 8; ++pin)
            EXPECT_EQ(page.record.switchPins[1][pin], std::strchr(row.onPins, '0' + pin) ? PinOn : PinOff) << pin;
        EXPECT_EQ(page.record.switchPins[1][1], PinOff);
        for (int pin = 1; pin <= 8; ++pin)
            EXPECT_EQ(page.record.switchPins[7][pin], PinOff);
        page.form.codePageChoice = 0;
        page.form.RefreshSettingPage(true);
        EXPECT_EQ(page.form.codePageChoice, position);
        EXPECT_TRUE(page.form.codePageEnabled);
    }
    Page noChange;
    noChange.form.OnCodePage(0);
    for (int pin = 3; pin <= 8; ++pin)
        EXPECT_EQ(noChange.record.switchPins[1][pin], PinNoChange);
    EXPECT_EQ(noChange.record.switchPins[1][1], PinOff);
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
            for (auto& slot : record.switchPins)
                for (int pin = 1; pin <= 8; ++pin)
                    slot[pin] = PinOff;
            row.write(record, position);
            EXPECT_EQ(row.read(record), position) << row.what << " " << position;
        }
    }
    StatusRecord r;
    SetPins(r, 2, {{1, PinOn}, {2, PinOn}, {3, PinOn}});
    EXPECT_EQ(PrinterSettingForm::ReadEmulation(r), 4);
    SetPins(r, 2, {{1, PinNoChange}, {2, PinNoChange}, {3, PinNoChange}});
    EXPECT_EQ(PrinterSettingForm::ReadEmulation(r), 1);
    EXPECT_EQ(PrinterSettingForm::ReadPrintSpeed(r), -1); // all NoChange: the choice stays
    SetPins(r, 0, {{1, PinOn}, {2, PinOn}});
    EXPECT_EQ(PrinterSettingForm::ReadPrintSpeed(r), 4); // beyond the list: no selection

    Page page;
    page.form.printSpeedChoice = 2;
    page.form.RefreshSettingPage(true);
    EXPECT_EQ(page.form.printSpeedChoice, 2);
    page.form.OnPrintSpeed(3);
    EXPECT_EQ(page.record.switchPins[0][1], PinOff);
    EXPECT_EQ(page.record.switchPins[0][2], PinOn);
    EXPECT_EQ(page.record.switchPins[0][3], PinNoChange); // never written
}

TEST(PrinterSettingForm, DoubleByteFontChoices)
{
    Page page;
    SetPins(page.record, 7, {{1, PinOff}, {2, PinOff}, {3, PinOn}});
    page.record.switchPins[1][2] = PinOn;
    page.form.RefreshSettingPage(true); // remembers slot 7 as read
    page.form.codePageChoice = 9;

    page.form.OnDoubleByteFont(4); // BIG5(Traditional Chinese): value 2
    for (int pin = 1; pin <= 8; ++pin)
        EXPECT_EQ(page.record.switchPins[7][pin], pin == 2 ? PinOn : PinOff);
    EXPECT_EQ(page.record.switchPins[1][1], PinOn);
    for (int pin = 2; pin <= 8; ++pin)
        EXPECT_EQ(page.record.switchPins[1][pin], PinOff);
    EXPECT_EQ(page.form.codePageChoice, 0);
    EXPECT_FALSE(page.form.codePageEnabled);
    EXPECT_EQ(page.record.doubleByteFontIndex, 4);

    page.form.codePageChoice = 5;
    page.record.switchPins[1][2] = PinOn;
    page.form.OnDoubleByteFont(0); // No Change: slot 7 as read comes back
    EXPECT_EQ(page.record.switchPins[7][3], PinOn);
    EXPECT_EQ(page.record.switchPins[7][2], PinOff);
    EXPECT_EQ(page.record.switchPins[1][1], PinOff);
    EXPECT_EQ(page.record.switchPins[1][2], PinOn); // pin 2 untouched
    EXPECT_EQ(page.record.switchPins[1][3], PinOff);
    EXPECT_EQ(page.form.codePageChoice, 5);
    EXPECT_TRUE(page.form.codePageEnabled);
    EXPECT_EQ(page.record.doubleByteFontIndex, 0);

    page.form.OnDoubleByteFont(1); // [Single Byte Font]: value 0
    EXPECT_EQ(page.record.switchPins[1][1], PinNoChange);
    EXPECT_EQ(page.record.doubleByteFontIndex, 1);

    // A printer whose switch 12 holds value 1..3 shows a disabled "No Change" code page.
    Page read;
    SetPins(read.record, 7, {{1, PinOn}, {2, PinOn}});
    read.form.codePageChoice = 4;
    read.form.RefreshSettingPage(true);
    EXPECT_EQ(read.form.codePageChoice, 0);
    EXPECT_FALSE(read.form.codePageEnabled);
}

TEST(PrinterSettingForm, RefreshWithoutStatusOrDisabled)
{
    Page page;
    page.form.hasStatus = false;
    page.form.emulationChoice = 3;
    page.form.RefreshSettingPage(true);
    EXPECT_EQ(page.form.emulationChoice, 3);
    EXPECT_FALSE(page.form.emulationEnabled);
    page.form.hasStatus = true;
    page.form.facts.modelName = "TLR-740II";
    page.form.singleByteFontChoice = 2;
    page.form.RefreshSettingPage(false);
    EXPECT_EQ(page.form.facts.modelName, "");
    EXPECT_EQ(page.form.emulationChoice, -1);
    EXPECT_EQ(page.form.singleByteFontChoice, 2);
}

TEST(MemSwitchForm, PagesAndLimits)
{
    StatusRecord record;
    record.switchPins[6][6] = record.switchPins[6][7] = record.switchPins[6][8] = PinOn;
    MemSwitchForm form;
    form.record = &record;
    form.ShowSwitch(1, true); // no status yet: nothing at all
    EXPECT_FALSE(form.rows[0].enabled);
    EXPECT_TRUE(form.rows[0].choices.empty());

    form.hasStatus = true;
    form.ShowSwitch(1, true);
    EXPECT_EQ(form.rows[0].label, "Print Speed (Set in Printer Setting Tab)");
    EXPECT_FALSE(form.rows[0].enabled);
    EXPECT_FALSE(form.backEnabled);
    EXPECT_TRUE(form.nextEnabled);
    for (int page = 2; page <= 7; ++page)
        form.OnNext();
    EXPECT_EQ(form.switchNumberText, "11");
    EXPECT_FALSE(form.nextEnabled);
    EXPECT_EQ(form.rows[5].choices, (std::vector<std::string>{"No Change", "Disable", "Enable"}));
    EXPECT_EQ(form.pinIndex[5], PinOn); // bit set shows "Disable"

    form.ShowSwitch(4, true);
    EXPECT_EQ(form.rows[0].label, "Swap font B and C");
    form.OnPinChanged(1, 2); // "Font B(9x17)"
    EXPECT_EQ(record.switchPins[3][1], PinOff);

    record.switchPins[0][3] = PinOn;
    form.ShowSwitch(1, false);
    for (int pin = 1; pin <= 8; ++pin) {
        EXPECT_EQ(form.rows[pin - 1].label, "[PIN " + std::to_string(pin) + "] Reserved");
        EXPECT_FALSE(form.rows[pin - 1].enabled);
        EXPECT_EQ(form.pinIndex[pin - 1], record.switchPins[0][pin]);
    }
    EXPECT_FALSE(form.backEnabled || form.nextEnabled);
    EXPECT_EQ(form.switchNumberText, "4"); // kept when disabled

    form.ResetAllSwitches();
    for (int slot = 0; slot < 8; ++slot)
        for (int pin = 1; pin <= 8; ++pin)
            EXPECT_EQ(record.switchPins[slot][pin], PinOff) << slot << "/" << pin;
    EXPECT_EQ(form.currentSwitch, 1);
}
