#pragma once

#include "StatusRecord.h"

#include <string>
#include <vector>

namespace kalo {

// One row of a memory-switch page: what the pin does and its three choices
// (position 0, 1, 2 = PinNoChange, PinOn, PinOff whatever the texts say).
struct PinDefinition {
    std::string label;
    std::vector<std::string> choices;
    bool enabled = true;
};

// The Memory switch page without its window: which switch is on screen, the
// eight rows as they are shown, and the edits they make to the record.
class MemSwitchForm {
public:
    static constexpr int kShownPages = 7; // page 8 (switch 12) is never shown

    // The row for pin (1..8) of page (1..8) as the switch definitions give it.
    static PinDefinition Definition(int page, int pin);
    // The number shown for a page: "1".."6", "11", "12".
    static std::string SwitchNumberText(int page);

    bool hasStatus = false;
    StatusRecord* record = nullptr;
    int currentSwitch = 1;
    int pinIndex[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    std::string switchNumberText = "1";

    // Controls.
    PinDefinition rows[8];
    bool backEnabled = false;
    bool nextEnabled = false;

    MemSwitchForm();

    void ShowSwitch(int number, bool enable);
    // The list of pin (1..8) now shows position index.
    void OnPinChanged(int pin, int index);
    void OnNext();
    void OnBack();
    void ResetAllSwitches();
};

} // namespace kalo
