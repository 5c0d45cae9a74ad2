#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kalo {

// The printer's code pages as the windows list them. The Printer Setting page
// writes a row's switch value into switch 2; the Command Test Editor sends its
// ESC t code. The codes skip 20: the printer has no table there.
struct CodePageRow {
    const char* text;
    uint8_t switchValue; // six bits, the row's position
    uint8_t code;        // ESC t n
};

inline constexpr size_t kCodePageCount = 37;
extern const std::array<CodePageRow, kCodePageCount> kCodePageTable;

// The row whose switch value this is, or -1 when none has it.
int CodePageBySwitchValue(int switchValue);

} // namespace kalo
