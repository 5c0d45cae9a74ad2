#include "OptionValues.h"

#include "Nearest.h"

#include "platform/Text.h"

#include <charconv>

namespace kalo::cli {

namespace {

// Lists this long are named in full by --help, not in a refusal.
constexpr size_t kListedInFull = 8;
// At most this many candidates are named for an ambiguous beginning.
constexpr size_t kCandidatesNamed = 5;

// The entries that begin with wanted (lower case), as many as are named.
std::vector<std::string> Beginning(const std::vector<std::string>& names, const std::string& wanted)
{
    std::vector<std::string> begun;
    for (const std::string& name : names) {
        if (platform::StartsWithNoCase(name, wanted))
            begun.push_back(name);
    }
    return begun;
}

// "\"a\" or \"b\"", the first few of them and how many more.
std::string Quoted(const std::vector<std::string>& names, const char* separator)
{
    std::string text;
    for (size_t i = 0; i < names.size() && i < kCandidatesNamed; ++i)
        text += (i ? separator : "") + ("\"" + names[i] + "\"");
    if (names.size() > kCandidatesNamed)
        text += " (and " + std::to_string(names.size() - kCandidatesNamed) + " more)";
    return text;
}

std::string Join(const std::vector<std::string>& parts, const char* between)
{
    std::string joined;
    for (const std::string& part : parts)
        joined += (joined.empty() ? "" : between) + part;
    return joined;
}

// Digits only: no sign, no blank, nothing after the number.
bool WholeNumber(const std::string& text, int64_t& number)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size();
}

} // namespace

OptionValues OptionValues::None()
{
    return OptionValues();
}

OptionValues OptionValues::Numbers(std::vector<Range> ranges)
{
    OptionValues values;
    values.m_kind = Kind::Numbers;
    for (const Range& range : ranges) {
        if (!values.m_ranges.empty() && values.m_ranges.back().second + 1 == range.first)
            values.m_ranges.back().second = range.second;
        else
            values.m_ranges.push_back(range);
    }
    return values;
}

OptionValues OptionValues::NumbersOf(const std::vector<std::string>& texts)
{
    std::vector<Range> ranges;
    for (const std::string& text : texts) {
        int64_t number = 0;
        if (WholeNumber(text, number))
            ranges.emplace_back(number, number);
    }
    return Numbers(std::move(ranges));
}

OptionValues OptionValues::Names(std::vector<std::string> names)
{
    OptionValues values;
    values.m_kind = Kind::Names;
    values.m_names = std::move(names);
    return values;
}

OptionValues OptionValues::NamesOrPath(std::vector<std::string> names)
{
    OptionValues values = Names(std::move(names));
    values.m_takesPaths = true;
    return values;
}

OptionValues OptionValues::ListEntry(std::vector<std::string> entries, std::vector<std::pair<std::string, int>> shortNames)
{
    OptionValues values;
    values.m_kind = Kind::ListEntry;
    values.m_names = std::move(entries);
    values.m_shortNames = std::move(shortNames);
    return values;
}

OptionValues OptionValues::Text(std::string what, bool (*fits)(const std::string&))
{
    OptionValues values;
    values.m_kind = Kind::Text;
    values.m_what = std::move(what);
    values.m_fits = fits;
    return values;
}

OptionValues OptionValues::Fields(std::vector<OptionField> fields)
{
    OptionValues values;
    values.m_kind = Kind::Fields;
    values.m_fields = std::move(fields);
    return values;
}

std::string OptionValues::Pattern() const
{
    std::string pattern;
    for (const OptionField& field : m_fields) {
        std::string part = field.separator ? std::string(1, field.separator) + field.name : field.name;
        pattern += field.byDefault ? "[" + part + "]" : part;
    }
    return pattern;
}

std::string OptionValues::Describe() const
{
    std::vector<std::string> parts;
    switch (m_kind) {
    case Kind::None:
        return "";
    case Kind::Numbers:
        for (const auto& [low, high] : m_ranges) {
            if (low == high)
                parts.push_back(std::to_string(low));
            else
                parts.push_back(std::to_string(low) + (high == low + 1 ? ", " : "-") + std::to_string(high));
        }
        return Join(parts, ", ");
    case Kind::Names:
        return Join(m_names, ", ") + (m_takesPaths ? ", or a device path (/dev/...)" : "");
    case Kind::ListEntry:
        for (const auto& [name, position] : m_shortNames)
            parts.push_back(name);
        for (const std::string& entry : m_names)
            parts.push_back("\"" + entry + "\"");
        return Join(parts, ", ") + " (in any case, or a beginning only one entry has)";
    case Kind::Text:
        return m_what;
    case Kind::Fields:
        for (const OptionField& field : m_fields)
            parts.push_back(field.name + " " + field.values.Describe()
                            + (field.byDefault ? std::string(", ") + field.byDefault + " when left out" : ""));
        return Join(parts, "; ");
    }
    return "";
}

std::vector<std::string> OptionValues::Choices() const
{
    constexpr int64_t kFewNumbers = 16;
    std::vector<std::string> choices;
    int64_t count = 0;
    switch (m_kind) {
    case Kind::Numbers:
        for (const auto& [low, high] : m_ranges)
            count += high - low + 1;
        for (const auto& [low, high] : m_ranges) {
            for (int64_t n = low; n <= high && count <= kFewNumbers; ++n)
                choices.push_back(std::to_string(n));
        }
        return choices;
    case Kind::Names:
        return m_names;
    case Kind::ListEntry:
        for (const auto& [name, position] : m_shortNames)
            choices.push_back(name);
        choices.insert(choices.end(), m_names.begin(), m_names.end());
        return choices;
    case Kind::None:
    case Kind::Text:
    case Kind::Fields:
        break;
    }
    return choices;
}

bool OptionValues::Take(const std::string& text, OptionValue& value, std::string& refusal) const
{
    value = OptionValue{};
    value.text = text;
    bool taken = false;
    switch (m_kind) {
    case Kind::None:
        taken = text.empty();
        break;
    case Kind::Numbers:
        if (WholeNumber(text, value.number)) {
            for (const auto& [low, high] : m_ranges)
                taken = taken || (value.number >= low && value.number <= high);
        }
        break;
    case Kind::Names:
        for (size_t i = 0; i < m_names.size() && !taken; ++i) {
            taken = m_names[i] == text;
            value.number = int64_t(i);
        }
        if (!taken && m_takesPaths && platform::StartsWith(text, "/")) {
            taken = true;
            value.number = -1;
        }
        break;
    case Kind::ListEntry: {
        const std::string wanted = platform::Lower(text);
        int found = -1;
        for (size_t i = 0; i < m_names.size() && found < 0; ++i) {
            if (platform::Lower(m_names[i]) == wanted)
                found = int(i);
        }
        for (size_t i = 0; i < m_shortNames.size() && found < 0; ++i) {
            if (platform::Lower(m_shortNames[i].first) == wanted)
                found = m_shortNames[i].second;
        }
        int begun = 0;
        for (size_t i = 0; i < m_names.size() && found < 0 && !wanted.empty(); ++i) {
            if (platform::StartsWithNoCase(m_names[i], wanted) && begun++ == 0)
                value.number = int64_t(i);
        }
        taken = found >= 0 || begun == 1;
        if (found >= 0)
            value.number = found;
        if (!taken && begun > 1) {
            refusal = "'" + text + "' is ambiguous: " + Quoted(Beginning(m_names, wanted), " or ");
            return false;
        }
        break;
    }
    case Kind::Text:
        taken = !text.empty() && (!m_fits || m_fits(text));
        break;
    case Kind::Fields: {
        std::string rest = text;
        for (size_t i = 0; i < m_fields.size(); ++i) {
            std::string part = rest;
            if (i + 1 < m_fields.size()) {
                const OptionField& next = m_fields[i + 1];
                const size_t at = rest.find(next.separator);
                if (at == std::string::npos && !(next.byDefault && i + 2 == m_fields.size())) {
                    refusal = "takes " + Pattern() + ", not '" + text + "'";
                    return false;
                }
                part = rest.substr(0, at);
                rest = at == std::string::npos ? std::string(next.byDefault) : rest.substr(at + 1);
            }
            OptionValue field;
            if (!m_fields[i].values.Take(part, field, refusal)) {
                refusal = m_fields[i].name + " " + refusal;
                return false;
            }
            value.fields.push_back(std::move(field));
        }
        return true;
    }
    }
    if (taken)
        return true;
    const bool list = m_kind == Kind::Names || m_kind == Kind::ListEntry;
    if (list && m_names.size() > kListedInFull) {
        // A long list said in full would bury the answer: the nearest few instead.
        const std::vector<std::string> nearest = Nearest(text, Choices(), 3);
        refusal = "'" + text + "' is none of its " + std::to_string(m_names.size()) + " entries"
            + (nearest.empty() ? std::string(" (--help lists them)") : "; nearest: " + Quoted(nearest, ", "));
        return false;
    }
    refusal = "takes " + Describe() + ", not '" + text + "'" + (list ? DidYouMean(text, Choices()) : "");
    return false;
}

std::string OptionValues::Spell(int64_t number) const
{
    if (m_kind == Kind::Names || m_kind == Kind::ListEntry)
        return number >= 0 && size_t(number) < m_names.size() ? m_names[size_t(number)] : std::string();
    return std::to_string(number);
}

} // namespace kalo::cli
