#include "TargetsFile.h"

#include "TargetUri.h"
#include "platform/Text.h"

#include <algorithm>
#include <unordered_map>

namespace kalo {

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

TargetAddresses ResolveTargets(const std::vector<Target>& targets, platform::NameResolver& resolver,
                               int64_t timeoutMicros)
{
    const auto isNetwork = [](const Target& target) {
        return target.connection.interfaceKind == PortKind::Ethernet && target.connection.printer.empty();
    };
    std::unordered_map<std::string, size_t> hostIndex;
    std::vector<std::string> hosts;
    for (const Target& target : targets) {
        const std::string host = platform::Lower(target.connection.address);
        if (isNetwork(target) && hostIndex.emplace(host, hosts.size()).second)
            hosts.push_back(host);
    }
    TargetAddresses result;
    if (hosts.empty())
        return result;
    const std::vector<platform::HostAddresses> found = resolver.Resolve(hosts, timeoutMicros);
    std::unordered_map<std::string, int> reached; // "ADDRESS PORT": the line of its first target
    for (size_t i = 0; i < targets.size(); ++i) {
        const Target& target = targets[i];
        if (!isNetwork(target))
            continue;
        const std::string host = platform::Lower(target.connection.address);
        const platform::HostAddresses& addresses = found[hostIndex.at(host)];
        const std::string line = "line " + std::to_string(target.line) + ": ";
        if (addresses.addresses.empty()) {
            result.unresolved[i] = line + "the name '" + Shown(host) + "' does not resolve ("
                + (addresses.error.empty() ? "no address" : addresses.error) + ")";
            continue;
        }
        const std::string port = " " + std::to_string(target.connection.tcpPort);
        const auto same = std::find_if(addresses.addresses.begin(), addresses.addresses.end(),
                                       [&](const std::string& address) { return reached.count(address + port) > 0; });
        if (same != addresses.addresses.end()) {
            result.errors.push_back(line + "'" + Shown(target.uri) + "' is the printer of line "
                                    + std::to_string(reached.at(*same + port)) + " (" + *same + ")");
            continue;
        }
        for (const std::string& address : addresses.addresses)
            reached.emplace(address + port, target.line);
    }
    return result;
}

} // namespace kalo
