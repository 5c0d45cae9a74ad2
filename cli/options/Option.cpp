#include "Option.h"

#include "Nearest.h"

#include <algorithm>
#include <sstream>

namespace kalo::cli {

namespace {

constexpr size_t kHelpColumn = 28;
constexpr size_t kLineWidth = 79;


bool Take(const OptionInfo& option, const std::string& text, OptionValue& value, std::string& error)
{
    std::string refusal;
    if (option.values.Take(text, value, refusal))
        return true;
    error = option.refusal ? std::string(option.name) + " " + text + ": " + option.refusal
                           : std::string(option.name) + " " + refusal;
    return false;
}

// Words filled into lines that begin at the help column.
void Wrap(std::ostream& out, std::string line, const std::string& text)
{
    std::istringstream words(text);
    std::string word;
    bool first = true;
    while (words >> word) {
        if (!first && line.size() + 1 + word.size() > kLineWidth) {
            out << line << '\n';
            line = std::string(kHelpColumn, ' ');
            first = true;
        }
        line += (first ? "" : " ") + word;
        first = false;
    }
    out << line << '\n';
}

} // namespace

std::string OptionInfo::Synopsis() const
{
    const std::string shape = values.GetKind() == OptionValues::Kind::Fields ? values.Pattern() : valueName;
    return shape.empty() ? std::string(name) : std::string(name) + " " + shape;
}

OptionWord ReadOptionWord(const std::string& word)
{
    const size_t equals = word.find('=');
    if (word.rfind("--", 0) != 0 || equals == std::string::npos)
        return {word, "", false};
    return {word.substr(0, equals), word.substr(equals + 1), true};
}

const OptionInfo* FindOption(const std::vector<const OptionInfo*>& table, const std::string& word)
{
    const std::string name = ReadOptionWord(word).name;
    for (const OptionInfo* option : table) {
        if (name == option->name)
            return option;
    }
    return nullptr;
}

bool TakeOptions(const std::vector<const OptionInfo*>& table, std::vector<std::string>& args,
                 const std::function<void(size_t row, const OptionValue& value)>& set, std::string& error)
{
    for (size_t row = 0; row < table.size(); ++row) {
        OptionValue value;
        if (table[row]->byDefault && Take(*table[row], table[row]->byDefault, value, error))
            set(row, value);
    }
    std::vector<std::string> rest;
    std::vector<std::string> alternatives;
    for (size_t i = 0; i < args.size(); ++i) {
        const OptionInfo* found = FindOption(table, args[i]);
        if (!found) {
            if (args[i].size() > 1 && args[i][0] == '-') {
                std::vector<std::string> names;
                for (const OptionInfo* option : table)
                    names.push_back(option->name);
                error = "unknown option '" + args[i] + "'" + DidYouMean(ReadOptionWord(args[i]).name, names);
                return false;
            }
            rest.push_back(args[i]);
            continue;
        }
        const OptionInfo& option = *found;
        const OptionWord word = ReadOptionWord(args[i]);
        OptionValue value;
        if (option.values.GetKind() == OptionValues::Kind::None) {
            if (word.hasValue) {
                error = std::string(option.name) + " takes no value, not '" + word.value + "'";
                return false;
            }
        } else if (!word.hasValue && i + 1 >= args.size()) {
            error = std::string(option.name) + " needs a value: " + option.values.Describe();
            return false;
        } else if (!Take(option, word.hasValue ? word.value : args[++i], value, error)) {
            return false;
        }
        if (option.alternative) {
            alternatives.push_back(option.name);
            if (alternatives.size() > 1 && alternatives.front() != alternatives.back()) {
                error = "give only one of " + Alternatives(table);
                return false;
            }
        }
        set(size_t(std::find(table.begin(), table.end(), found) - table.begin()), value);
    }
    args = std::move(rest);
    return true;
}

std::string Alternatives(const std::vector<const OptionInfo*>& table)
{
    std::string names;
    for (const OptionInfo* option : table)
        names += option->alternative ? (names.empty() ? "" : ", ") + std::string(option->name) : "";
    return names;
}

void PrintDefinition(std::ostream& out, const std::string& term, const std::string& text)
{
    std::string line = "  " + term;
    if (line.size() + 1 > kHelpColumn) {
        out << line << '\n';
        line.clear();
    }
    line.resize(kHelpColumn, ' ');
    Wrap(out, line, text);
}

void PrintOptions(std::ostream& out, const std::vector<const OptionInfo*>& table)
{
    for (const OptionInfo* option : table) {
        std::string text = option->help;
        const std::string values = option->values.Describe();
        const std::string byDefault = option->byDefault ? std::string("default ") + option->byDefault : "";
        if (!values.empty() || !byDefault.empty())
            text += " (" + values + (values.empty() || byDefault.empty() ? "" : "; ") + byDefault + ")";
        PrintDefinition(out, option->Synopsis(), text);
    }
}

} // namespace kalo::cli
