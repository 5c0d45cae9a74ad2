#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kalo::cli {

// --trace FILE|-: every transfer on the port, every fixed wait and every
// failure, as they happen, into FILE or onto standard error.
struct TraceOptions {
    std::string file; // empty: no trace
};

// Takes --trace out of args, wherever it stands. False with the message
// for a value refused.
bool ExtractTraceOptions(std::vector<std::string>& args, TraceOptions& options, std::string& error);

// The option as --help shows it.
void PrintTraceOptions(std::ostream& out);

} // namespace kalo::cli
