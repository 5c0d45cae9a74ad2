#pragma once

#include "Connection.h"
#include "platform/NameResolver.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kalo {

// One printer of a fleet, as its line in the targets file names it.
struct Target {
    std::string name;
    std::string uri;
    ConnectionOptions connection;
    int line = 0;
};

// Reads a URI into the connection it names and the device it reaches (two
// targets on one device have the same); false with what is wrong.
using TargetUriReader = std::function<bool(const std::string& uri, ConnectionOptions& connection,
                                           std::string& device, std::string& error)>;

// Reads URIs as --target does; the device of a COM or LPT name is the one
// ports map it to.
TargetUriReader TargetUriReaderFor(const platform::PortMap& ports);

// The longest name taken: it becomes a file name (NAME.json) with room to spare.
constexpr size_t kMaxTargetName = 200;

// Reads a targets file: one "NAME URI" a line, blank lines and lines
// beginning with '#' allowed. Every line that does not fit, every name
// given twice and every printer named twice (one device under two URIs
// included) is reported, "line N: ..." each, and then nothing is taken:
// false with targets empty.
bool ReadTargets(std::string_view text, const TargetUriReader& readUri, std::vector<Target>& targets,
                 std::vector<std::string>& errors);

// What the network targets' host names come to.
struct TargetAddresses {
    // Each target that is an earlier one's printer again: "line N: ..."
    std::vector<std::string> errors;
    // By index in the targets: why its host does not resolve ("line N: ...").
    std::map<size_t, std::string> unresolved;
};

// Resolves the hosts of the network targets, each name once, all within
// timeoutMicros. Two targets whose address sets meet on one TCP port are
// one printer (127.0.0.1, localhost, 127.1 and 2130706433 all are).
TargetAddresses ResolveTargets(const std::vector<Target>& targets, platform::NameResolver& resolver,
                               int64_t timeoutMicros);

} // namespace kalo
