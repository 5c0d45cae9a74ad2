#pragma once

#include <cstdint>

namespace kalo {

// A pin as the utility sees it: leave it, set it, clear it. Sent as "2", "1", "0".
enum PinState : int32_t {
    PinNoChange = 0,
    PinOn = 1,
    PinOff = 2,
};

// The eight memory switches the utility manages and the double-byte font
// choice that goes with them. Row = switch slot, column p = pin p (column 0 unused).
struct StatusRecord {
    int32_t switchPins[8][9] = {};
    int32_t doubleByteFontIndex = 0;
};

// The printer's memory-switch number of each switch slot.
inline constexpr uint8_t kSwitchNumbers[8] = {1, 2, 3, 4, 5, 6, 11, 12};

} // namespace kalo
