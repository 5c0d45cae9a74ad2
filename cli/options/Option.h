#pragma once

#include "OptionValues.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace kalo::cli {

// An option as the parser and --help see it. Each option is declared once,
// in its scope's table; nothing else spells out its name, values or default.
struct OptionInfo {
    const char* name;      // "--baud"
    const char* valueName; // "RATE"; empty when it takes none or its values have a pattern
    const char* help;
    OptionValues values;
    // Taken before the arguments, through the same values, and shown by --help.
    const char* byDefault = nullptr;
    // Said instead of the accepted values when a value is refused.
    const char* refusal = nullptr;
    // At most one of a table's alternatives may be given.
    bool alternative = false;

    std::string Synopsis() const; // "--baud RATE"
};

// An option and what it sets in its scope's target.
template <class Target>
struct Option : OptionInfo {
    void (*set)(Target& target, const OptionValue& value) = nullptr;
};

template <class Target>
using OptionTable = std::vector<Option<Target>>;

// An argument read as an option: "--baud=9600" is the option --baud with
// the value 9600 given in the same word; anything else is its own name.
struct OptionWord {
    std::string name;
    std::string value;
    bool hasValue = false; // the value was given after '='
};
OptionWord ReadOptionWord(const std::string& word);

// The option of the table the word names (by itself or before '='), or null.
const OptionInfo* FindOption(const std::vector<const OptionInfo*>& table, const std::string& word);

// Takes the table's options out of args in order, each with its value (the
// next word, whatever it looks like, or the one after '='), and calls set
// for each default and then each option given. What is left in args are the
// operands. False with the whole message when an option is unknown, lacks
// its value, or its value does not fit.
bool TakeOptions(const std::vector<const OptionInfo*>& table, std::vector<std::string>& args,
                 const std::function<void(size_t row, const OptionValue& value)>& set, std::string& error);

// The alternatives of a table: "--serial, --tcp, --printer".
std::string Alternatives(const std::vector<const OptionInfo*>& table);

// The table as --help shows it: each option with its help, accepted values and default.
void PrintOptions(std::ostream& out, const std::vector<const OptionInfo*>& table);
// A term and its text as --help lays options out, within 80 columns.
void PrintDefinition(std::ostream& out, const std::string& term, const std::string& text);

template <class Target>
std::vector<const OptionInfo*> Infos(const OptionTable<Target>& table)
{
    std::vector<const OptionInfo*> infos;
    for (const Option<Target>& option : table)
        infos.push_back(&option);
    return infos;
}

template <class Target>
bool TakeOptions(const OptionTable<Target>& table, std::vector<std::string>& args, Target& target,
                 std::string& error)
{
    return TakeOptions(Infos(table), args,
                       [&](size_t row, const OptionValue& value) { table[row].set(target, value); }, error);
}

} // namespace kalo::cli
