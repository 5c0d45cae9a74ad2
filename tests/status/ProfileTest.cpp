#include "status/ProfileJson.h"
#include "status/StatusFile.h"
#include "SwitchPins.h"

#include <gtest/gtest.h>

#include <cstdio>

using kalo::Profile;
using kalo::ProfileJson;
using kalo::StatusRecord;

const std::string kHead = "{\"format\": \"kalo-profile/1\", ";

// Every refusal says where: a syntax error by line and column, anything
// else by its JSON path; the profile given is left as it was.
TEST(Profile, RefusalsSayWhere)
{
    const struct {
        const char* name;
        std::string text;
        std::string error; // the whole reason, or how it begins when it ends in "..."
    } rows[] = {
        {"Empty", "", "line 1, column 1: syntax error while parsing value..."},
        {"NumberTooBig", "{\"format\": \"kalo-profile/1\",\n\"entranceTime\": 1e999}",
         "line 2, column 17: number overflow parsing '1e999'"},
        {"NotAnObject", "[1, 2]", "/: a profile is a JSON object"},
        {"OtherFormat", "{\"format\": \"kalo-profile/2\"}", "/format: takes \"kalo-profile/1\", not \"kalo-profile/2\""},
        {"UnknownKey", kHead + "\"swiches\": {}}", "/swiches: unknown key"},
        {"SwitchSeven", kHead + "\"switches\": {\"7\": {\"1\": \"on\"}}}", "/switches/7: not a memory switch (1-6, 11, 12)"},
        {"DuplicateKey", kHead + "\"switches\": {\"6\": {\"2\": \"on\"}, \"6\": {\"3\": \"on\"}}}",
         "/switches/6: given twice; a key may appear once in its object"},
        // Deep enough to overflow the stack of anything walking it recursively.
        {"NestedTooDeep", kHead + "\"powerSave\": " + std::string(60000, '[') + std::string(60000, ']') + "}",
         "/powerSave/0/0/0/0/0/0/0: nested more than 8 levels deep; a profile needs four"},
        {"PowerSaveText", kHead + "\"powerSave\": \"yes\"}", "/powerSave: takes true, false or \"keep\", not \"yes\""},
        {"EntranceTimeFive", kHead + "\"entranceTime\": 5}",
         "/entranceTime: Enterance time should be from 6 to 255. (or \"keep\"), not 5"},
        {"UnknownSetting", kHead + "\"settings\": {\"speed\": \"Print speed 2\"}}",
         "/settings/speed: unknown setting (code-page, double-byte-font, emulation, print-speed, single-byte-font)"},
        {"NotInItsList", kHead + "\"settings\": {\"code-page\": \"Klingon\"}}", "/settings/code-page: not in its list: \"Klingon\""},
        {"CodePageBesideDoubleByteFont",
         kHead + "\"settings\": {\"code-page\": \"Katakana\", \"double-byte-font\": \"SHIFT-JIS(Japanese)\"}}",
         "/settings/code-page: no code page goes with the double-byte font \"SHIFT-JIS(Japanese)\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Profile profile;
        profile.comment = "untouched";
        std::string error;
        EXPECT_FALSE(ProfileJson::Parse(row.text, profile, error));
        const size_t compared = row.error.ends_with("...") ? row.error.size() - 3 : std::string::npos;
        EXPECT_EQ(error.substr(0, compared), row.error.substr(0, compared));
        EXPECT_EQ(profile.comment, "untouched");
    }
}

// Settings go through the page's translation first, side effects on other
// pins included; the profile's own pins then win over them. A double-byte
// font sets pins and never asks for a download.
TEST(Profile, SettingsFirstThenPins)
{
    const struct {
        const char* name;
        std::string settings, switches;
        int slot;
        std::string pins, switch12;
    } rows[] = {
        {"kept pin leaves the setting", "\"code-page\": \"Katakana\"", "\"2\": {\"4\": \"keep\"}", 1, "0-010000",
         "00000000"},
        {"font, then pin of switch 12", "\"double-byte-font\": \"SHIFT-JIS(Japanese)\"", "\"12\": {\"1\": \"off\"}", 1,
         "10000000", "01000000"},
        {"single-byte choice", "\"double-byte-font\": \"[Single Byte Font]\", \"code-page\": \"Katakana\"", "", 1,
         "0-010000", "00000000"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Profile profile;
        std::string error;
        ASSERT_TRUE(ProfileJson::Parse(kHead + "\"settings\": {" + row.settings + "}, \"switches\": {" + row.switches
                                           + "}}",
                                       profile, error))
            << error;
        const kalo::StatusTarget target = kalo::ResolveProfile(profile);
        EXPECT_EQ(PinsOf(target.record, row.slot), row.pins);
        EXPECT_EQ(PinsOf(target.record, 7), row.switch12);
        EXPECT_EQ(target.record.doubleByteFontIndex, 0);
        EXPECT_FALSE(target.powerSave);
        EXPECT_FALSE(target.entranceTime);
    }
}

// A printer's profile names the settings as the page's lists name them, and
// text the printer sent is escaped (or replaced, when it is not UTF-8), never
// refused; the round trip through a file is the command line's test.
TEST(Profile, PrinterProfileNamesSettingsAndEscapesText)
{
    StatusRecord record;
    for (int slot = 0; slot < 8; ++slot)
        SetPins(record, slot, "00000000");
    SetPins(record, 1, "10010000"); // double-byte country, code page value 1
    SetPins(record, 2, "11000000");
    kalo::PrinterFacts facts;
    facts.modelName = "TLR-740\"plus\"\n\x01II";
    facts.firmwareVersion = "V1\xff";
    const std::string text = ProfileJson::Text(kalo::PrinterProfile(record, facts));
    for (const char* part : {"\"model\": \"TLR-740\\\"plus\\\"\\n\\u0001II\"", "\"firmware\": \"V1\xef\xbf\xbd\"",
                             "\"emulation\": \"Emulation 4\"", "\"double-byte-font\": \"[Single Byte Font]\"",
                             "\"code-page\": \"Katakana\"",
                             "\"entranceTime\": \"keep\""}) // none the printer would refuse is written
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    Profile read;
    std::string error;
    EXPECT_TRUE(ProfileJson::Parse(text, read, error)) << error;
    EXPECT_EQ(read.model, facts.modelName);
}

// A status file is a profile of switches 1, 2, 11 and 12, as Load takes
// them; values that are neither on nor off are kept, and its double-byte
// choice starts nothing.
TEST(Profile, StatusFileAsProfile)
{
    StatusRecord record;
    for (int slot = 0; slot < 8; ++slot)
        SetPins(record, slot, "11110000");
    record.switchPins[1][5] = 7;
    record.switchPins[6][2] = -1;
    record.doubleByteFontIndex = 6;
    const std::string path = ::testing::TempDir() + "profile-test.sts";
    std::string error;
    ASSERT_TRUE(kalo::StatusFile::Save(path, record, error)) << error;
    Profile profile;
    ASSERT_TRUE(ProfileJson::Load(path, profile, error)) << error;
    const kalo::StatusTarget target = kalo::ResolveProfile(profile);
    const std::string expected[8] = {"11110000", "1111-000", "--------", "--------",
                                     "--------", "--------", "1-110000", "11110000"};
    for (int slot = 0; slot < 8; ++slot)
        EXPECT_EQ(PinsOf(target.record, slot), expected[slot]) << "slot " << slot;
    EXPECT_EQ(target.record.doubleByteFontIndex, 0);
    EXPECT_FALSE(target.powerSave);

    std::remove(path.c_str());
}
