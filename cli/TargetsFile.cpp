#include "TargetsFile.h"

#include "TargetUri.h"
#include "platform/Text.h"

#include <algorithm>
#include <unordered_map>

namespace kalo::cli {

namespace {

// Beyond this many, the refusal says how many more lines are wrong.
constexpr size_t kMaxErrorsShown = 20;

bool IsNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
        || c == '.';
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Text from the file as a message may show it: no control bytes reach the terminal.
std::string Shown(std::string_view text)
{
    const std::string shown = platform::Printable(text.substr(0, 80));
    return text.size() > 80 ? shown + "..." : shown;
}

std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && IsBlank(line[at]))
            ++at;
        const size_t start = at;
        while (at < line.size() && !IsBlank(line[at]))
            ++at;
        if (at > start)
            fields.push_back(line.substr(start, at - start));
    }
    return fields;
}

std::string NameError(std::string_view name)
{
    if (name.size() > kMaxTargetName)
        return "the name is longer than " + std::to_string(kMaxTargetName) + " characters";
    if (!std::all_of(name.begin(), name.end(), IsNameCharacter))
        return "the name '" + Shown(name) + "' may hold only letters, digits, '-', '_' and '.'";
    return "";
}

} // namespace

TargetUriReader TargetUriReaderFor(const platform::PortMap& ports)
{
    return [&ports](const std::string& uri, ConnectionOptions& connection, std::string& device, std::string& error) {
        if (!ParseTargetUri(uri, connection, error))
            return false;
        device = DeviceIdentity(connection, ports);
        return true;
    };
}

bool ReadTargets(std::string_view text, const TargetUriReader& readUri, std::vector<Target>& targets,
                 std::vector<std::string>& errors)
{
    targets.clear();
    std::unordered_map<std::string, int> nameLines, deviceLines;
    size_t wrong = 0;
    const auto refuse = [&](int line, const std::string& why) {
        if (++wrong <= kMaxErrorsShown)
            errors.push_back("line " + std::to_string(line) + ": " + why);
    };
    int lineNumber = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::vector<std::string_view> fields = Fields(line);
        if (fields.empty() || fields.front().front() == '#')
            continue;
        if (fields.size() != 2) {
            refuse(lineNumber, fields.size() == 1 ? "'" + Shown(fields[0]) + "' has no URI after it"
                                                  : "more than a name and a URI: '" + Shown(line) + "'");
            continue;
        }
        Target target{std::string(fields[0]), std::string(fields[1]), {}, lineNumber};
        if (const std::string why = NameError(target.name); !why.empty()) {
            refuse(lineNumber, why);
            continue;
        }
        std::string device, error;
        if (!readUri(target.uri, target.connection, device, error)) {
            refuse(lineNumber, Shown(error));
            continue;
        }
        if (const auto [named, fresh] = nameLines.emplace(target.name, lineNumber); !fresh) {
            refuse(lineNumber, "the name '" + target.name + "' is already on line " + std::to_string(named->second));
            continue;
        }
        if (const auto [same, fresh] = deviceLines.emplace(device, lineNumber); !fresh) {
            refuse(lineNumber, "'" + Shown(target.uri) + "' is the printer of line " + std::to_string(same->second));
            continue;
        }
        targets.push_back(std::move(target));
    }
    if (wrong > kMaxErrorsShown)
        errors.push_back("and " + std::to_string(wrong - kMaxErrorsShown) + " more lines");
    if (wrong > 0)
        targets.clear();
    return wrong == 0;
}

} // namespace kalo::cli
