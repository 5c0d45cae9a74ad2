#include "PrinterSettingForm.h"

#include "port/CodePageTable.h"

namespace kalo {

namespace {

int32_t& Pin(StatusRecord& record, int slot, int pin)
{
    return record.switchPins[slot][pin];
}

bool On(const StatusRecord& record, int slot, int pin)
{
    return record.switchPins[slot][pin] == PinOn;
}

// Code-page value bits go to these pins of switch 2: bit 0 -> pin 4 ... bit 4 -> pin 8, bit 5 -> pin 3.
constexpr int kCodePageBitPins[6] = {4, 5, 6, 7, 8, 3};

} // namespace

const char PrinterSettingForm::kEntranceTimeRange[] = "Enterance time should be from 6 to 255.";

const std::vector<std::string> PrinterSettingForm::kPrintSpeeds = {"No Change", "Print speed 3 [Default]",
                                                                   "Print speed 2", "Print speed 1"};
const std::vector<std::string> PrinterSettingForm::kSingleByteFonts = {"No Chnage", "Font A (12x24)",
                                                                       "Font B (9x17)", "Font C (9x24)"};
const std::vector<std::string> PrinterSettingForm::kDoubleByteFonts = {
    "No Change",  "[Single Byte Font]",       "KS5601(Korean)",     "GB2312(Simplified Chinese)",
    "BIG5(Traditional Chinese)", "BIG5_Serif[Chinese ]", "SHIFT-JIS(Japanese)"};
const std::vector<std::string> PrinterSettingForm::kEmulations = {"No Change",   "Emulation 1 [Default]",
                                                                  "Emulation 2", "Emulation 3",
                                                                  "Emulation 4", "Emulation 5"};
const std::vector<std::string> PrinterSettingForm::kCodePages = [] {
    std::vector<std::string> texts = {"No Change"};
    for (const CodePageRow& row : kCodePageTable)
        texts.emplace_back(row.text);
    return texts;
}();

void PrinterSettingForm::InitDialog()
{
    codePageChoice = 0;
    doubleByteFontChoice = 0;
    hasStatus = false;
    EnablePowerSaveControls(false);
}

void PrinterSettingForm::EditWithoutStatus(StatusRecord& edited)
{
    InitDialog(); // the double-byte list shows "No Change", as the window's does when it opens
    record = &edited;
    for (int32_t& pin : savedDoubleBytePins)
        pin = PinNoChange; // "No Change" keeps switch 12 as the printer has it
}

void PrinterSettingForm::WritePrintSpeed(StatusRecord& r, int position)
{
    static const int32_t kPins[4][2] = {{PinNoChange, PinNoChange}, {PinOff, PinOff}, {PinOn, PinOff}, {PinOff, PinOn}};
    const bool known = position >= 0 && position < 4;
    Pin(r, 0, 1) = known ? kPins[position][0] : PinNoChange;
    Pin(r, 0, 2) = known ? kPins[position][1] : PinNoChange;
}

void PrinterSettingForm::WriteEmulation(StatusRecord& r, int position)
{
    static const int32_t kPins[6][3] = {{PinNoChange, PinNoChange, PinNoChange}, {PinOff, PinOff, PinOff},
                                        {PinOn, PinOff, PinOff}, {PinOff, PinOn, PinOff},
                                        {PinOn, PinOn, PinOff}, {PinOff, PinOff, PinOn}};
    if (position < 0 || position >= 6)
        return;
    for (int pin = 1; pin <= 3; ++pin)
        Pin(r, 2, pin) = kPins[position][pin - 1];
}

void PrinterSettingForm::WriteSingleByteFont(StatusRecord& r, int position)
{
    static const int32_t kPins[4][2] = {{PinNoChange, PinNoChange}, {PinOff, PinOff}, {PinOn, PinOff}, {PinOff, PinOn}};
    if (position < 0 || position >= 4)
        return;
    Pin(r, 3, 3) = kPins[position][0];
    Pin(r, 3, 4) = kPins[position][1];
}

void PrinterSettingForm::WriteCodePage(StatusRecord& r, int position)
{
    Pin(r, 1, 1) = PinOff;
    for (int pin = 1; pin <= 8; ++pin)
        Pin(r, 7, pin) = PinOff;
    if (position == 0) {
        for (int pin = 3; pin <= 8; ++pin)
            Pin(r, 1, pin) = PinNoChange;
    } else if (position >= 1 && position <= int(kCodePageCount)) {
        const int value = kCodePageTable[size_t(position - 1)].switchValue;
        for (int bit = 0; bit < 6; ++bit)
            Pin(r, 1, kCodePageBitPins[bit]) = (value >> bit) & 1 ? PinOn : PinOff;
    }
}

void PrinterSettingForm::OnPrintSpeed(int position)
{
    printSpeedChoice = position;
    if (record)
        WritePrintSpeed(*record, position);
}

void PrinterSettingForm::OnEmulation(int position)
{
    emulationChoice = position;
    if (record)
        WriteEmulation(*record, position);
}

void PrinterSettingForm::OnSingleByteFont(int position)
{
    singleByteFontChoice = position;
    if (record)
        WriteSingleByteFont(*record, position);
}

void PrinterSettingForm::OnCodePage(int position)
{
    codePageChoice = position;
    if (record)
        WriteCodePage(*record, position);
}

void PrinterSettingForm::OnDoubleByteFont(int position)
{
    doubleByteFontChoice = position;
    if (!record)
        return;
    StatusRecord& r = *record;
    doubleByteValue = -1;
    for (int pin = 1; pin <= 8; ++pin)
        Pin(r, 7, pin) = PinOff;
    r.doubleByteFontIndex = -1;
    static const int kValues[7] = {-1, 0, 1, 2, 2, 2, 3};
    if (position >= 0 && position < 7)
        doubleByteValue = kValues[position];
    r.doubleByteFontIndex = position;

    if (doubleByteValue == -1) {
        for (int pin = 1; pin <= 8; ++pin)
            Pin(r, 7, pin) = savedDoubleBytePins[pin - 1];
    } else {
        for (int bit = 0; bit < 8; ++bit) {
            if ((doubleByteValue >> bit) & 1)
                Pin(r, 7, bit + 1) = PinOn;
        }
    }

    if (doubleByteValue >= 1) {
        Pin(r, 1, 1) = PinOn;
        for (int pin = 2; pin <= 8; ++pin)
            Pin(r, 1, pin) = PinOff;
        codePageChoice = 0;
        codePageEnabled = false;
    } else if (doubleByteValue == 0) {
        Pin(r, 1, 1) = PinNoChange;
        codePageEnabled = true;
    } else {
        Pin(r, 1, 1) = PinOff;
        for (int pin = 3; pin <= 8; ++pin)
            Pin(r, 1, pin) = PinOff;
        codePageEnabled = true;
    }
}

int PrinterSettingForm::ReadPrintSpeed(const StatusRecord& r)
{
    if (r.switchPins[0][1] == PinOff && r.switchPins[0][2] == PinOff && r.switchPins[0][3] == PinOff)
        return 1;
    const int v = (On(r, 0, 1) ? 1 : 0) + (On(r, 0, 2) ? 2 : 0) + (On(r, 0, 3) ? 4 : 0);
    return v != 0 ? v + 1 : -1;
}

int PrinterSettingForm::ReadSingleByteFont(const StatusRecord& r)
{
    const int32_t p3 = r.switchPins[3][3];
    const int32_t p4 = r.switchPins[3][4];
    if (p3 == PinOff && p4 == PinOff)
        return 1;
    if (p3 == PinOn && p4 == PinOff)
        return 2;
    if (p3 == PinOff && p4 == PinOn)
        return 3;
    return 0;
}

int PrinterSettingForm::DoubleByteValue(const StatusRecord& r)
{
    int d = 0;
    for (int pin = 1; pin <= 8; ++pin) {
        if (On(r, 7, pin))
            d |= 1 << (pin - 1);
    }
    return d;
}

int PrinterSettingForm::ReadCodePage(const StatusRecord& r)
{
    if (r.switchPins[1][2] == PinNoChange)
        return -1;
    return CodePageOfPins(r);
}

int PrinterSettingForm::CodePageOfPins(const StatusRecord& r)
{
    int c = 0;
    for (int bit = 0; bit < 6; ++bit) {
        if (On(r, 1, kCodePageBitPins[bit]))
            c |= 1 << bit;
    }
    // A value no row has reads past the list's end: shown as no entry, not as another page.
    const int row = CodePageBySwitchValue(c);
    return row >= 0 ? row + 1 : c + 1;
}

int PrinterSettingForm::ReadEmulation(const StatusRecord& r)
{
    const bool p1 = On(r, 2, 1), p2 = On(r, 2, 2), p3 = On(r, 2, 3);
    if (r.switchPins[2][1] == PinOff && r.switchPins[2][2] == PinOff && r.switchPins[2][3] == PinOff)
        return 1;
    if (p1)
        return p2 ? 4 : 2;
    if (p2)
        return 3;
    if (p3)
        return 5;
    return 1;
}

void PrinterSettingForm::RefreshSettingPage(bool enable)
{
    if (!hasStatus || !record)
        return;
    if (!enable) {
        facts.firmwareVersion.clear();
        facts.modelName.clear();
        facts.language.clear();
        codePageChoice = printSpeedChoice = emulationChoice = -1;
        return;
    }
    const StatusRecord& r = *record;
    if (const int speed = ReadPrintSpeed(r); speed >= 0)
        printSpeedChoice = speed;
    printSpeedEnabled = true;
    singleByteFontChoice = ReadSingleByteFont(r);
    singleByteFontEnabled = true;
    for (int pin = 1; pin <= 8; ++pin)
        savedDoubleBytePins[pin - 1] = r.switchPins[7][pin];
    const int d = DoubleByteValue(r);
    doubleByteValue = d;
    if (d >= 1 && d <= 3) {
        codePageChoice = 0;
        codePageEnabled = false;
    } else {
        if (const int page = ReadCodePage(r); page >= 0)
            codePageChoice = page;
        codePageEnabled = true;
    }
    doubleByteFontEnabled = true;
    emulationChoice = ReadEmulation(r);
    emulationEnabled = true;
    EnablePowerSaveControls(true);
}

} // namespace kalo
