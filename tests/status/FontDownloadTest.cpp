#include "sim/InProcessPlatform.h"
#include "status/FontDownload.h"
#include "status/ResourceFonts.h"
#include "support/FontImages.h"
#include "support/WireLogText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

using namespace kalo;

namespace {

// Writes as runs: so many writes of so many bytes asked for.
using Runs = std::vector<std::pair<int, uint32_t>>;

Runs AsRuns(const std::vector<uint32_t>& lengths)
{
    Runs runs;
    for (const uint32_t length : lengths) {
        if (!runs.empty() && runs.back().second == length)
            ++runs.back().first;
        else
            runs.emplace_back(1, length);
    }
    return runs;
}

struct DownloadRow {
    const char* name;
    uint32_t size;
    int64_t hangUpAfter; // font bytes the printer takes before it hangs up; -1 never
    int shortWrite;      // this write (from 0) takes 1000 bytes only; -1 none
    Runs asked;          // the writes the download made
    FontDownloadEnd end;
    std::string paper;   // the printer's last word on the font
    uint32_t sleptMs;    // ticks and block waits
};

class FontDownloadRun : public ::testing::TestWithParam<DownloadRow> {};

// Against the in-process printer over a network link (no wire time), so the
// virtual time is the pacing alone.
TEST_P(FontDownloadRun, SendsBlocksOnTheTicks)
{
    const DownloadRow& row = GetParam();
    // 17 bytes of identification go out before the font; the fault counts them.
    constexpr int64_t kBefore = 17;
    sim::PrinterOptions options;
    options.closeAfter = row.hangUpAfter < 0 ? -1 : kBefore + row.hangUpAfter;
    sim::InProcessPlatform machine(options);
    CPrinterPort port(machine);
    port.Configure(NetworkPortSettings(machine.networkHost, machine.networkPort));
    ASSERT_EQ(port.Open(), 1);
    const uint8_t identify[kBefore] = {0x1B, 0x40};
    ASSERT_EQ(port.Write(identify, kBefore), int(kBefore));

    std::vector<uint32_t> asked;
    auto write = [&](const uint8_t* data, uint32_t length) {
        asked.push_back(length);
        const bool cut = int(asked.size()) - 1 == row.shortWrite;
        return port.Write(data, cut ? 1000 : length);
    };
    ProgressState progress;
    const std::string bytes = test::FontImageBytes(row.size);
    FontDownload download(write, machine.GetClock(), progress, {bytes, "test"});
    const int64_t start = machine.Clock().NowMicros();
    const FontDownloadOutcome outcome = RunFontDownload(download, machine.GetClock());

    EXPECT_EQ(AsRuns(asked), row.asked);
    EXPECT_EQ(outcome.end, row.end);
    EXPECT_EQ(outcome.total, row.size);
    EXPECT_EQ(machine.Paper().empty() ? "" : machine.Paper().back(), row.paper);
    EXPECT_GE(machine.Printer().FontBytesReceived() + 9, outcome.sent);
    // Only the ticks and the block waits take time: the link has no wire time.
    EXPECT_EQ(machine.Clock().NowMicros() - start, int64_t(row.sleptMs) * 1000);
    EXPECT_EQ(machine.Clock().TotalSleptMs(), row.sleptMs);
}

const uint32_t kGb2312 = 615695; // 64 + 150 x 4096 + 1231
const std::string kComplete = "[font download complete: 615686 bytes]";

INSTANTIATE_TEST_SUITE_P(
    Font, FontDownloadRun,
    ::testing::Values(
        DownloadRow{"GB2312", kGb2312, -1, -1, {{1, 64}, {150, 4096}, {1, 1231}}, FontDownloadEnd::Complete,
                    kComplete, 151 * 10 + 150 * 10},
        // Blocks go only while more than 4096 bytes are left: the last write is a whole block.
        DownloadRow{"RemainderAMultipleOf4096", 64 + 4 * 4096, -1, -1, {{1, 64}, {4, 4096}},
                    FontDownloadEnd::Complete, "[font download complete: 16439 bytes]", 4 * 10 + 3 * 10},
        DownloadRow{"ShortBlockContinued", kGb2312, -1, 3,
                    {{1, 64}, {151, 4096}, {1, 231}}, FontDownloadEnd::Complete, kComplete,
                    152 * 10 + 151 * 10},
        // The socket's send fails whole: the 100 bytes of the third block the printer took do not count.
        DownloadRow{"PrinterGoneInAMiddleBlock", kGb2312, 64 + 2 * 4096 + 100, -1, {{1, 64}, {3, 4096}},
                    FontDownloadEnd::BlockWriteFailed, "[font download incomplete: 8347 of 615686 bytes]",
                    3 * 10 + 3 * 10},
        DownloadRow{"PrinterGoneAtTheLastWrite", kGb2312, 64 + 150 * 4096, -1,
                    {{1, 64}, {150, 4096}, {1, 1231}}, FontDownloadEnd::FinalWriteFailed,
                    "[font download incomplete: 614455 of 615686 bytes]", 151 * 10 + 150 * 10}),
    [](const ::testing::TestParamInfo<DownloadRow>& named) { return std::string(named.param.name); });

// Where images are looked for, in order.
struct MapFonts final : BuiltInFonts {
    bool Find(const std::string& name, std::string& bytes) override
    {
        const auto it = images.find(name);
        return it != images.end() && (bytes = it->second, true);
    }
    std::map<std::string, std::string> images;
};

struct SearchRow {
    const char* name;
    std::string builtIn;  // the built-in font-142.bin; empty for none
    std::string inA, inB; // font-142.bin in the folders a and b; empty for none
    std::string origin;   // DIR stands for the test's folder
    std::string error;
};

class FontImageSearch : public ::testing::TestWithParam<SearchRow> {};

TEST_P(FontImageSearch, TakesTheFirstAndChecksIt)
{
    const SearchRow& row = GetParam();
    const std::string dir = ::testing::TempDir() + "kalo-fonts-" + row.name;
    std::filesystem::remove_all(dir);
    for (const auto& [sub, content] : {std::pair<std::string, std::string>{"a", row.inA}, {"b", row.inB}}) {
        std::filesystem::create_directories(dir + "/" + sub);
        if (!content.empty())
            test::WriteFontImage(dir + "/" + sub + "/font-142.bin", content);
    }
    MapFonts builtIn;
    if (!row.builtIn.empty())
        builtIn.images["font-142.bin"] = row.builtIn;
    const FontLocations locations{"", &builtIn, {dir + "/a", dir + "/b"}};
    FontImage image;
    std::string error;
    EXPECT_EQ(LoadFontImage(locations, *FindFontChoice(3), image, error), row.error.empty());
    EXPECT_EQ(error, std::regex_replace(row.error, std::regex("DIR"), dir));
    EXPECT_EQ(image.origin, std::regex_replace(row.origin, std::regex("DIR"), dir));
}

const std::string kImage = test::FontImageBytes(kGb2312);
const std::string kCountOff = kImage.substr(0, kImage.size() - 1);

INSTANTIATE_TEST_SUITE_P(
    Font, FontImageSearch,
    ::testing::Values(
        SearchRow{"BuiltInFirst", kImage, kImage, "", "font-142.bin (built in)", ""},
        SearchRow{"FirstFolderThatHasIt", "", "", kImage, "DIR/b/font-142.bin", ""},
        SearchRow{"Missing", "", "", "", "",
                  "Font image font-142.bin for \"GB2312(Simplified Chinese)\" was not found; looked in the images "
                  "built into the program, DIR/a and DIR/b."},
        SearchRow{"BuiltInDamaged", kCountOff, kImage, "", "",
                  "Font image font-142.bin built into the program is damaged: its header counts 615686 bytes after "
                  "the first nine, but it holds 615685."},
        // Reported, not passed over for the good one further on.
        SearchRow{"DamagedStart", "", "\x1D" + kImage.substr(1), kImage, "",
                  "Font image DIR/a/font-142.bin is damaged: it does not begin with 1C 6C 64 73 58."}),
    [](const ::testing::TestParamInfo<SearchRow>& named) { return std::string(named.param.name); });

// The images of tests/status/fonts are built in as resources/fonts/ is: each
// found by its file name alone, byte for byte (a NUL inside, a size that is no
// multiple of the alignment).
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
        {"NameWithFolder", "fonts/font-142.bin", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ResourceFonts fonts;
        std::string bytes = "left";
        EXPECT_EQ(fonts.Find(row.file, bytes), row.builtIn);
        EXPECT_EQ(bytes, row.builtIn ? test::FileBytes(KALO_TEST_FONT_DIR "/" + row.file) : "left");
    }
}

} // namespace
