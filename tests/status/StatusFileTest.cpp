#include "status/StatusFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

using namespace kalo;

namespace {

std::string TempPath(const std::string& name)
{
    return ::testing::TempDir() + "kalo-sts-" + std::to_string(getpid()) + "-" + name;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

StatusRecord Sample()
{
    StatusRecord record;
    for (int slot = 0; slot < 8; ++slot)
        for (int pin = 1; pin <= 8; ++pin)
            record.switchPins[slot][pin] = (slot + pin) % 3;
    record.doubleByteFontIndex = 4;
    return record;
}

} // namespace

TEST(StatusFile, SaveWritesTheRecordAndLoadTakesItsSwitches)
{
    const std::string path = TempPath("Noname.sts");
    const StatusRecord saved = Sample();
    std::string error;
    ASSERT_TRUE(StatusFile::Save(path, saved, error)) << error;
    const std::string bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 292u);
    EXPECT_EQ(uint8_t(bytes[4]), uint8_t(saved.switchPins[0][1])); // little-endian, column 0 first
    EXPECT_EQ(uint8_t(bytes[288]), 4);

    StatusRecord loaded;
    loaded.switchPins[2][1] = 7; // switches 3..6 are not in a loaded file's reach
    ASSERT_TRUE(StatusFile::Load(path, loaded, error)) << error;
    for (int slot : {0, 1, 6, 7})
        for (int pin = 0; pin <= 8; ++pin)
            EXPECT_EQ(loaded.switchPins[slot][pin], saved.switchPins[slot][pin]);
    EXPECT_EQ(loaded.switchPins[2][1], 7);
    EXPECT_EQ(loaded.doubleByteFontIndex, 4);
    unlink(path.c_str());
}

TEST(StatusFile, OddFilesLoadAsTheyAre)
{
    std::string full(292, '\0');
    full[4] = '\x05';              // out of range: kept as it is
    full[8] = '\xFF';              // negative
    full[9] = full[10] = full[11] = '\xFF';
    full[288] = '\x09';
    const struct {
        const char* what;
        std::string bytes;
        int32_t pin1, pin2, index;
    } rows[] = {
        {"empty", "", 0, 0, 0},
        {"short", std::string("\0\0\0\0\x01\0\0\0", 8), 1, 0, 0},
        {"long", full + std::string(5000, '\x01'), 5, -1, 9},
        {"exact", full, 5, -1, 9},
    };
    for (const auto& row : rows) {
        const std::string path = TempPath("odd.sts");
        std::ofstream(path, std::ios::binary) << row.bytes;
        StatusRecord record = Sample();
        std::string error;
        ASSERT_TRUE(StatusFile::Load(path, record, error)) << row.what;
        EXPECT_EQ(record.switchPins[0][1], row.pin1) << row.what;
        EXPECT_EQ(record.switchPins[0][2], row.pin2) << row.what;
        EXPECT_EQ(record.switchPins[7][8], 0) << row.what;
        EXPECT_EQ(record.doubleByteFontIndex, row.index) << row.what;
        unlink(path.c_str());
    }
    for (const auto& [name, ok] : std::vector<std::pair<std::string, bool>>{
             {"a.sts", true}, {"a.STS", false}, {"a.Sts", false}, {"sts", true}, {"st", false}, {"Noname", false}})
        EXPECT_EQ(StatusFile::HasStatusExtension(name), ok) << name;
}

TEST(StatusFile, FailuresLeaveRecordAndOldFileAlone)
{
    StatusRecord record = Sample();
    std::string error;
    EXPECT_FALSE(StatusFile::Load(TempPath("missing.sts"), record, error));
    EXPECT_NE(error.find("missing.sts"), std::string::npos);
    EXPECT_EQ(record.doubleByteFontIndex, 4);
    EXPECT_FALSE(StatusFile::Save("/nonexistent-folder/x.sts", record, error));

    // A write that fails half way (here: a file-size limit) keeps the old file whole.
    const std::string path = TempPath("keep.sts");
    const std::string old(292, '\x02');
    std::ofstream(path, std::ios::binary) << old;
    signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool saved = StatusFile::Save(path, StatusRecord(), error);
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadAll(path), old);
    unlink(path.c_str());
}
