#pragma once

#include "status/StatusRecord.h"

#include <string>

// A switch's pins 1..8 as text, so a failing check shows the whole row:
// '1' on, '0' off, '-' no change, '?' anything else.
inline std::string PinsOf(const kalo::StatusRecord& record, int slot)
{
    std::string text;
    for (int pin = 1; pin <= 8; ++pin) {
        const int32_t state = record.switchPins[slot][pin];
        text += state == kalo::PinOn ? '1' : state == kalo::PinOff ? '0' : state == kalo::PinNoChange ? '-' : '?';
    }
    return text;
}

// Sets pins 1.. from text as PinsOf writes it; pins past its end stay as they are.
inline void SetPins(kalo::StatusRecord& record, int slot, const std::string& pins)
{
    using namespace kalo;
    for (size_t i = 0; i < pins.size() && i < 8; ++i)
        record.switchPins[slot][i + 1] = pins[i] == '1' ? PinOn : pins[i] == '0' ? PinOff : PinNoChange;
}
