#include "cli/options/Option.h"

#include <gtest/gtest.h>

namespace {

using kalo::cli::OptionValue;
using Values = kalo::cli::OptionValues;

// One option of each kind.
const kalo::cli::OptionTable<int> kOptions = {
    {{"--speed", "N", "", Values::Numbers({{1, 3}, {4, 9}, {100, 100}}), "2"}},
    {{"--parity", "P", "", Values::Names({"none", "odd"})}},
    {{"--font", "F", "", Values::ListEntry({"Font A (12x24)", "Font B (9x17)", "Fax"}, {{"A", 0}})}},
    {{"--file", "FILE", "", Values::Text("a file name")}},
    {{"--pin", "", "",
      Values::Fields({{"SWITCH", '\0', Values::Numbers({{1, 6}})}, {"PIN", ':', Values::Numbers({{1, 8}})},
                      {"STATE", '=', Values::Names({"on", "off"}), "on"}})}},
    {{"--json", "", "", Values::None()}},
    {{"--page", "P", "",
      Values::ListEntry({"PC437 (USA)", "PC850 (Multilingual)", "PC852 (Latin 2)", "PC855 (Cyrillic)", "PC857 (Turkish)",
                         "PC858 (Euro)", "PC860 (Portugues)", "PC862 (Hebrew)", "PC863 (Canadian-French)",
                         "PC865 (Nordic)"})}},
};

struct ParseRow {
    const char* name;
    std::vector<std::string> args;
    std::string set; // what was set and then the operands, or the refusal
};

class OptionParser : public ::testing::TestWithParam<ParseRow> {};

// Every value is taken whole or refused with the option and what it takes;
// the default comes first, operands stay in order.
TEST_P(OptionParser, TakesWholeValuesOrSaysWhatFits)
{
    std::vector<std::string> args = GetParam().args;
    const std::vector<const kalo::cli::OptionInfo*> table = kalo::cli::Infos(kOptions);
    std::string set, error;
    // What each option set, in order: " speed=2", its fields " pin=6.2.1", a text as given.
    const auto record = [&](size_t row, const OptionValue& value) {
        std::string taken;
        for (const OptionValue& field : value.fields)
            taken += (taken.empty() ? "" : ".") + std::to_string(field.number);
        if (value.fields.empty())
            taken = table[row]->values.GetKind() == Values::Kind::Text ? value.text : std::to_string(value.number);
        set += " " + std::string(table[row]->name + 2) + "=" + taken;
    };
    const bool ok = kalo::cli::TakeOptions(table, args, record, error);
    for (const std::string& operand : args)
        set += " " + operand;
    EXPECT_EQ(ok ? set : error, GetParam().set);
}

const std::string kSpeed = "--speed takes 1-9, 100, not '";

INSTANTIATE_TEST_SUITE_P(
    Options, OptionParser,
    ::testing::ValuesIn(std::vector<ParseRow>{
        {"DefaultFirstOperandsKept", {"x", "--speed", "100", "-", "y"}, " speed=2 speed=100 x - y"},
        {"NumberOutOfRanges", {"--speed", "10"}, kSpeed + "10'"},
        {"NumberNegative", {"--speed", "-5"}, kSpeed + "-5'"},
        {"NumberWrapped", {"--speed", "18446744073709551617"}, kSpeed + "18446744073709551617'"},
        {"NumberTrailingText", {"--speed", "5 "}, kSpeed + "5 '"},
        {"NameExactly", {"--parity", "Odd"}, "--parity takes none, odd, not 'Odd'; did you mean odd?"},
        {"EntryInAnyCase", {"--font", "font b (9X17)", "--font", "a", "--font", "fa"}, " speed=2 font=1 font=0 font=2"},
        {"EntryBeginningTwoHave", {"--font", "font"}, "--font 'font' is ambiguous: \"Font A (12x24)\" or \"Font B (9x17)\""},
        {"EntryNoneNear", {"--font", "Q"}, "--font takes A, \"Font A (12x24)\", \"Font B (9x17)\", \"Fax\" (in any case, or a "
                                          "beginning only one entry has), not 'Q'"},
        {"LongListNamesTheNearest", {"--page", "PC8x5"},
         "--page 'PC8x5' is none of its 10 entries; nearest: \"PC855 (Cyrillic)\", \"PC865 (Nordic)\""},
        {"LongListNothingNear", {"--page", "zzz"}, "--page 'zzz' is none of its 10 entries (--help lists them)"},
        {"UnknownOptionNearest", {"--jsn"}, "unknown option '--jsn'; did you mean --json?"},
        {"FieldsDefaultLast", {"--pin", "6:2=off", "--pin=1:8"}, " speed=2 pin=6.2.1 pin=1.8.0"},
        {"FieldMissing", {"--pin", "6"}, "--pin takes SWITCH:PIN[=STATE], not '6'"},
        {"FieldOutOfRange", {"--pin", "7:2"}, "--pin SWITCH takes 1-6, not '7'"},
        {"FieldWrapped", {"--pin", "6:4294967298"}, "--pin PIN takes 1-8, not '4294967298'"},
        {"FieldTrailingText", {"--pin", "6:2=on x"}, "--pin STATE takes on, off, not 'on x'; did you mean on?"},
        {"ValueIsTheNextWordOrAfterEquals", {"--file", "--json", "--file=a=b"}, " speed=2 file=--json file=a=b"},
        {"MissingValue", {"--json", "--parity"}, "--parity needs a value: none, odd"},
        {"FlagWithValue", {"--json=yes"}, "--json takes no value, not 'yes'"},
    }),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
