#pragma once

#include "Command.h"
#include "connect/TargetsFile.h"

#include <optional>
#include <string>
#include <vector>

namespace kalo::cli {

// A targets file read, checked and its host names resolved.
struct FleetTargets {
    std::vector<Target> targets;
    TargetAddresses addresses;
};

// --targets FILE, as every command over many printers takes it.
const OptionInfo& TargetsFileOption();

// Reads the targets file the way every command over many printers takes
// it: a file that cannot be read, a line that does not fit, a name given
// twice or one printer named twice refuses the whole file, each reason
// told on err after "kaloctl WHO: " and closed by "nothing was run". A
// name that does not resolve is left to its own printer (addresses.unresolved).
std::optional<FleetTargets> LoadFleetTargets(CommandContext& context, const std::string& path, const char* who);

} // namespace kalo::cli
