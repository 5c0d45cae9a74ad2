#include "status/ResourceFonts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace kalo;

namespace {

std::string FileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// The images of tests/status/fonts are built in as resources/fonts/ is: each
// found by its file name alone, byte for byte (a NUL inside, a size that is no
// multiple of the alignment), and taken by the font search as built in.
TEST(ResourceFonts, FindsEachImageBuiltInByteForByte)
{
    const struct {
        const char* name;
        std::string file;
        bool builtIn;
    } rows[] = {
        {"SmallWithNul", "font-142.bin", true},
        {"Unaligned", "font-161.bin", true},
        {"NotBuiltIn", "font-144.bin", false},
        {"NameWithoutExtension", "font-142", false},
        {"NameWithFolder", "fonts/font-142.bin", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ResourceFonts fonts;
        std::string bytes = "left";
        EXPECT_EQ(fonts.Find(row.file, bytes), row.builtIn);
        EXPECT_EQ(bytes, row.builtIn ? FileBytes(std::string(KALO_TEST_FONT_DIR) + "/" + row.file) : "left");
    }
    FontImage image;
    std::string error;
    ResourceFonts fonts;
    EXPECT_TRUE(LoadFontImage({"", &fonts, {}}, *FindFontChoice(3), image, error)) << error;
    EXPECT_EQ(image.origin, "font-142.bin (built in)");
    EXPECT_EQ(image.bytes, FileBytes(std::string(KALO_TEST_FONT_DIR) + "/font-142.bin"));
}

} // namespace
