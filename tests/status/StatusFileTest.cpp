#include "status/StatusFile.h"
#include "support/WireLogText.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

using namespace kalo;

TEST(StatusFile, EachSlotSitsAtItsOffset)
{
    // Switches 1, 2, 11 and 12 at bytes 0, 36, 216 and 252 (column 0 first,
    // little-endian), the double-byte font index at 288.
    std::string bytes(292, '\0');
    const struct {
        const char* what;
        size_t offset;
        int slot, column;
        int32_t value;
    } marks[] = {
        {"switch 1 pin 1", 4, 0, 1, 0x11},   {"switch 1 pin 8", 32, 0, 8, 0x18},
        {"switch 2 column 0", 36, 1, 0, 0x20}, {"switch 2 pin 1", 40, 1, 1, 0x21},
        {"switch 11 pin 1", 220, 6, 1, 0x61}, {"switch 11 pin 8", 248, 6, 8, 0x68},
        {"switch 12 pin 1", 256, 7, 1, 0x71}, {"switch 12 pin 8", 284, 7, 8, 0x0201},
    };
    StatusRecord record;
    for (const auto& mark : marks) {
        record.switchPins[mark.slot][mark.column] = mark.value;
        bytes[mark.offset] = char(mark.value & 0xFF);
        bytes[mark.offset + 1] = char(mark.value >> 8);
    }
    record.doubleByteFontIndex = -2;
    bytes.replace(288, 4, "\xFE\xFF\xFF\xFF");

    const std::string path = ::testing::TempDir() + "kalo-sts-" + std::to_string(getpid()) + "-Noname.sts";
    std::string error;
    ASSERT_TRUE(StatusFile::Save(path, record, error)) << error;
    const std::string saved = kalo::test::FileBytes(path);
    ASSERT_EQ(saved.size(), 292u);
    for (const auto& [from, to] : {std::pair{0, 72}, std::pair{216, 292}}) // 72..215 are never loaded
        EXPECT_EQ(saved.substr(from, to - from), bytes.substr(from, to - from)) << "bytes " << from << "..";

    // Loading the hand-written bytes gives the marks back and keeps switches 3..6.
    bytes[76] = '\x31'; // switch 3 pin 1: not taken
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    StatusRecord loaded;
    loaded.switchPins[2][1] = 7;
    ASSERT_TRUE(StatusFile::Load(path, loaded, error)) << error;
    for (const auto& mark : marks)
        EXPECT_EQ(loaded.switchPins[mark.slot][mark.column], mark.value) << mark.what;
    EXPECT_EQ(loaded.switchPins[2][1], 7);
    EXPECT_EQ(loaded.doubleByteFontIndex, -2);
    unlink(path.c_str());
}
