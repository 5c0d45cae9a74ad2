#pragma once

#include "ConnectionOptions.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kalo::cli {

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

} // namespace kalo::cli
