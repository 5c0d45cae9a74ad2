#include "MemSwitchForm.h"

namespace kalo {

namespace {

const std::vector<std::string> kDefaultChoices = {"No Change", "Enable", "Disable"};

std::string Reserved(int pin)
{
    return "[PIN " + std::to_string(pin) + "] Reserved";
}

} // namespace

PinDefinition MemSwitchForm::Definition(int page, int pin)
{
    PinDefinition row{Reserved(pin), kDefaultChoices, true};
    auto set = [&row](std::string label, std::vector<std::string> choices, bool enabled) {
        row.label = std::move(label);
        if (!choices.empty())
            row.choices = std::move(choices);
        row.enabled = enabled;
    };
    switch (page) {
    case 1:
        if (pin == 1 || pin == 2)
            set("Print Speed (Set in Printer Setting Tab)", {}, false);
        break;
    case 2:
        if (pin == 1)
            set("[PIN 1] Specification for Destination", {"No Change", "Double byte Country", "Single byte Country"},
                false);
        else if (pin >= 3)
            set("Codepage(Set in Printer Setting Tab)", {}, false);
        break;
    case 3:
        if (pin <= 3)
            set("Select Emulation (Set in Printer Setting Tab)", {}, false);
        break;
    case 4:
        if (pin == 1)
            set("Swap font B and C", {"No Change", "Font B(9x24)", "Font B(9x17)"}, true);
        else if (pin == 3 || pin == 4)
            set("Single byte Font election(Set in Printer Setting Tab)", {}, false);
        break;
    case 5:
        if (pin == 3)
            set("[PIN 3] Two-Color Support", {}, true);
        break;
    case 6:
        if (pin == 1)
            set("[PIN 1] Auto generate pulse to internal Buzzer", {}, true);
        else if (pin == 2)
            set("[PIN 2] Auto Internal buzzer control", {"No Change", "1 time", "3 times"}, true);
        else if (pin == 4)
            set("[PIN 4] Auto external buzzer after cutting", {}, true);
        break;
    case 7:
        if (pin >= 6)
            set(Reserved(pin), {"No Change", "Disable", "Enable"}, true);
        break;
    default:
        break;
    }
    return row;
}

std::string MemSwitchForm::SwitchNumberText(int page)
{
    return page >= 1 && page <= 8 ? std::to_string(kSwitchNumbers[page - 1]) : std::string();
}

MemSwitchForm::MemSwitchForm()
{
    for (int pin = 1; pin <= 8; ++pin)
        rows[pin - 1] = PinDefinition{Reserved(pin), {}, false};
}

void MemSwitchForm::ShowSwitch(int number, bool enable)
{
    if (!hasStatus || !record)
        return;
    currentSwitch = number;
    backEnabled = nextEnabled = enable;
    for (int pin = 1; pin <= 8; ++pin) {
        rows[pin - 1] = PinDefinition{Reserved(pin), kDefaultChoices, enable};
        pinIndex[pin - 1] = record->switchPins[0][pin];
    }
    if (enable && currentSwitch >= 1 && currentSwitch <= kShownPages) {
        for (int pin = 1; pin <= 8; ++pin) {
            rows[pin - 1] = Definition(currentSwitch, pin);
            pinIndex[pin - 1] = record->switchPins[currentSwitch - 1][pin];
        }
        switchNumberText = SwitchNumberText(currentSwitch);
        if (currentSwitch == 1)
            backEnabled = false;
        if (currentSwitch == kShownPages)
            nextEnabled = false;
    }
}

void MemSwitchForm::OnPinChanged(int pin, int index)
{
    if (pin < 1 || pin > 8)
        return;
    pinIndex[pin - 1] = index;
    if (record && currentSwitch >= 1 && currentSwitch <= 8)
        record->switchPins[currentSwitch - 1][pin] = index;
}

void MemSwitchForm::OnNext()
{
    ShowSwitch(++currentSwitch, true);
}

void MemSwitchForm::OnBack()
{
    ShowSwitch(--currentSwitch, true);
}

void MemSwitchForm::ResetAllSwitches()
{
    for (int& index : pinIndex)
        index = PinOff;
    for (int n = 8; n >= 1; --n) {
        currentSwitch = n;
        for (int pin = 1; pin <= 8; ++pin)
            OnPinChanged(pin, pinIndex[pin - 1]);
    }
}

} // namespace kalo
