#pragma once

#include "cli/options/Option.h"

#include <ostream>
#include <string>
#include <vector>

namespace kalo::cli {

// --trace FILE|-: every transfer on the port, every fixed wait and every
// failure, as they happen, into FILE or onto standard error.
struct TraceOptions {
    std::string file; // empty: no trace
};

// Reads the --trace args holds; args holds nothing else. False with the
// message for a value refused.
bool ExtractTraceOptions(std::vector<std::string>& args, TraceOptions& options, std::string& error);

// The option's table, for the command line's reading and completion.
std::vector<const OptionInfo*> TraceOptionInfos();

// The option as --help shows it.
void PrintTraceOptions(std::ostream& out);

} // namespace kalo::cli
