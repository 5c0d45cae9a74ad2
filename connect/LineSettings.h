#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalo {

// The values one serial line setting takes, as kaloctl's options and the
// connection URIs both spell them. A setting is held either as the number
// itself (baud rate, data bits) or as its position in the list (parity,
// stop bits, flow control).
struct LineSettingValues {
    std::vector<std::string> spellings;
    bool numbers = false;

    // The whole text only; a number may be written with leading zeros.
    bool Read(const std::string& text, uint32_t& value) const;
    // The text Read takes for value; empty for a position out of the list.
    std::string Spell(uint32_t value) const;
    // "none, odd, even, mark, space"
    std::string Describe() const;
};

const LineSettingValues& BaudRateValues();
const LineSettingValues& DataBitsValues();
const LineSettingValues& ParityValues();   // None, Odd, Even, Mark, Space
const LineSettingValues& StopBitsValues(); // 1, 1.5, 2
const LineSettingValues& FlowValues();     // Hardware, Xon/Xoff, None

// The main window's initial choice, as the options spell it.
constexpr const char* kDefaultBaudRate = "9600";
constexpr const char* kDefaultDataBits = "8";
constexpr const char* kDefaultParity = "none";
constexpr const char* kDefaultStopBits = "1";
constexpr const char* kDefaultFlow = "hardware";

} // namespace kalo
