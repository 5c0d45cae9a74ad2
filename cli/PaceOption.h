#pragma once

#include "cli/options/Option.h"
#include "port/Pace.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kalo::cli {

// --pace fixed|reply: how the waits before reads are timed on every printer
// a command works on.
struct PaceOptions {
    std::optional<Pace> pace; // none: KALO_PACE's, else fixed
};

// Reads the --pace args holds; args holds nothing else. False with the
// message for a value refused.
bool ExtractPaceOptions(std::vector<std::string>& args, PaceOptions& options, std::string& error);

// The pace given, else KALO_PACE's (fixed when it is unset or empty). False
// with the message when KALO_PACE names no pace: a usage error, as a value
// given to --pace would be.
bool ChoosePace(const PaceOptions& options, Pace& pace, std::string& error);

// The option's table, for the command line's reading and completion.
std::vector<const OptionInfo*> PaceOptionInfos();

// The option as --help shows it.
void PrintPaceOptions(std::ostream& out);

} // namespace kalo::cli
