#include "editor/HexText.h"

#include <gtest/gtest.h>


using namespace kalo;

namespace {

// Each text's bytes, pair by pair, as "%x" reads them.
TEST(HexText, GivesOneBytePerPair)
{
    const struct {
        const char* name;
        std::string text;
        std::vector<uint8_t> bytes;
    } rows[] = {
        {"GroupCaptionExample", "1d 61 ff 0a", {0x1D, 0x61, 0xFF, 0x0A}},
        {"OddLength", "123", {0x12, 0x03}},
        {"LineBreaksAndTrailingSeparators", "1b\r\n40\n\t0a \r\n \b", {0x1B, 0x40, 0x0A}},
        {"SeparatorEndsAOneDigitPair", "1 b", {0x01, 0x0B}},
        {"Empty", "", {}},
        {"Plus", "+a 1b", {0x0A, 0x1B}},
        {"SignWithoutDigit", "-z +", {0x00, 0x00}},
        // "%x" reads no digit at all: the pair is still a byte, 00.
        {"NoDigit", "zz 1b", {0x00, 0x1B}},
        {"DigitThenOther", "1z", {0x01}},
        {"HexPrefixLeavesNoRoom", "0x", {0x00}},
        // White space that is not a separator is skipped the way "%x" skips it.
        {"VerticalTab", "\v5\f", {0x05, 0x00}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ParseHexText(row.text), row.bytes) << row.name;
}

} // namespace
