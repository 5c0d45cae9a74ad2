#pragma once

#include "PrinterFacts.h"
#include "StatusRecord.h"

#include <string>
#include <vector>

namespace kalo {

// The Printer Setting page without its window: its fields, the state of its
// controls, and the translation between list positions and the record's pins.
// The Qt page shows this state; kaloctl sets settings by name through it.
class PrinterSettingForm {
public:
    static const std::vector<std::string> kPrintSpeeds;
    static const std::vector<std::string> kSingleByteFonts;
    static const std::vector<std::string> kDoubleByteFonts;
    static const std::vector<std::string> kEmulations;
    static const std::vector<std::string> kCodePages;

    // The entrance times the printer takes, in seconds, and what any other gets.
    static constexpr int kEntranceTimeMin = 6;
    static constexpr int kEntranceTimeMax = 255;
    static const char kEntranceTimeRange[];

    // Fields.
    bool hasStatus = false;
    int32_t savedDoubleBytePins[8] = {PinOff, PinOff, PinOff, PinOff, PinOff, PinOff, PinOff, PinOff};
    int32_t doubleByteValue = -1;
    StatusRecord* record = nullptr;
    PrinterFacts facts; // firmware, model, language, power save, entrance time
    int codePageChoice = 0;
    int printSpeedChoice = 0;
    int emulationChoice = 0;
    int singleByteFontChoice = 0;
    int doubleByteFontChoice = -1;

    // Which controls can be used.
    bool codePageEnabled = false;
    bool printSpeedEnabled = false;
    bool emulationEnabled = false;
    bool singleByteFontEnabled = false;
    bool doubleByteFontEnabled = false;
    bool powerSaveEnabled = false; // both radio buttons and the entrance-time box

    // What the page's initialisation does.
    void InitDialog();
    // The page as edits by name find it: no status read, every pin of the
    // record kept unless a choice sets it, switch 12 kept by "No Change".
    void EditWithoutStatus(StatusRecord& record);

    // The user's choice in a list (the page has copied its controls first).
    void OnPrintSpeed(int position);
    void OnEmulation(int position);
    void OnSingleByteFont(int position);
    void OnCodePage(int position);
    void OnDoubleByteFont(int position);

    void RefreshSettingPage(bool enable);
    // Power save the printer did not answer for cannot be edited: Set Status
    // leaves it alone. Otherwise the entrance time can be typed whatever the
    // mode read, so a switch from off to on sends the time the user gives.
    void EnablePowerSaveControls(bool enable) { powerSaveEnabled = enable && !facts.powerSaveUnanswered; }

    // The pin translations themselves, for whoever needs them without a page.
    static void WritePrintSpeed(StatusRecord& record, int position);
    static void WriteEmulation(StatusRecord& record, int position);
    static void WriteSingleByteFont(StatusRecord& record, int position);
    static void WriteCodePage(StatusRecord& record, int position);
    static int ReadEmulation(const StatusRecord& record);
    static int ReadSingleByteFont(const StatusRecord& record);
    // -1 when pins 3..8 of switch 2 say nothing, else the list position.
    static int ReadCodePage(const StatusRecord& record);
    // The list position pins 3..8 of switch 2 give, whatever pin 2 says
    // (past the list's end for a value no row has).
    static int CodePageOfPins(const StatusRecord& record);
    // -1 when the pins leave the choice as it was.
    static int ReadPrintSpeed(const StatusRecord& record);
    static int DoubleByteValue(const StatusRecord& record);
};

} // namespace kalo
