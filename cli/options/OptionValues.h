#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kalo::cli {

// A value as its option's accepted values read it.
struct OptionValue {
    int64_t number = 0;              // the number, or the position of the name in its list
    std::string text;                // the text as given
    std::vector<OptionValue> fields; // of a value made of fields, in order
};

struct OptionField;

// The values an option accepts. A value is taken only when the whole text
// fits; --help and a refusal spell out what fits from the same data.
class OptionValues {
public:
    enum class Kind { None, Numbers, Names, ListEntry, Text, Fields };
    using Range = std::pair<int64_t, int64_t>;

    // The option takes no value.
    static OptionValues None();
    // Whole decimal numbers within the ranges (both ends included; ranges
    // in order, those that meet are joined).
    static OptionValues Numbers(std::vector<Range> ranges);
    // The numbers written in a list of texts.
    static OptionValues NumbersOf(const std::vector<std::string>& texts);
    // One of the names, exactly as written; the value is its position.
    static OptionValues Names(std::vector<std::string> names);
    // One of the names, or a device path (a text that begins with '/'),
    // taken as written; a path's value is -1.
    static OptionValues NamesOrPath(std::vector<std::string> names);
    // An entry of a list by its text in any case, by a short name, or by a
    // beginning that only one entry has; the value is the list position.
    static OptionValues ListEntry(std::vector<std::string> entries,
                                  std::vector<std::pair<std::string, int>> shortNames = {});
    // Text that is not empty and, when fits is given, that fits; what says
    // what is taken.
    static OptionValues Text(std::string what, bool (*fits)(const std::string&) = nullptr);
    // Fields one after another, each after its separator.
    static OptionValues Fields(std::vector<OptionField> fields);

    Kind GetKind() const { return m_kind; }
    // The shape of a value made of fields ("SWITCH:PIN=STATE"), else empty.
    std::string Pattern() const;
    // What is taken, for --help and refusals: "1-8", "none, odd, even".
    std::string Describe() const;
    // Every value taken, for completion: the names, the short names and
    // entries of a list, the numbers when there are a few; else none.
    std::vector<std::string> Choices() const;
    // False with what went wrong ("takes 1-8, not '9'") when text does not fit.
    bool Take(const std::string& text, OptionValue& value, std::string& refusal) const;
    // The text Take reads as number: a name by its position, or the number written out.
    std::string Spell(int64_t number) const;

private:
    Kind m_kind = Kind::None;
    std::vector<Range> m_ranges;
    std::vector<std::string> m_names;
    bool m_takesPaths = false;
    std::vector<std::pair<std::string, int>> m_shortNames;
    std::string m_what;
    bool (*m_fits)(const std::string&) = nullptr;
    std::vector<OptionField> m_fields;
};

// One field of a value made of fields. The first has no separator; a last
// field with a default may be left out together with its separator.
struct OptionField {
    std::string name;
    char separator = '\0';
    OptionValues values;
    const char* byDefault = nullptr;
};

} // namespace kalo::cli
