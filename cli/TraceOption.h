#pragma once

#include "platform/TracingPlatform.h"

#include <memory>
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

// The platform a command runs on: the one given, or with a trace asked
// for, the same platform writing to the trace.
class CommandTrace {
public:
    // False with the reason when the trace file cannot be written; err is
    // where "-" writes.
    bool Start(const TraceOptions& options, platform::Platform& plain, std::ostream& err, std::string& error);
    platform::Platform& Platform(platform::Platform& plain) { return m_platform ? *m_platform : plain; }

private:
    std::unique_ptr<std::ostream> m_file;
    std::unique_ptr<platform::WireTrace> m_trace;
    std::unique_ptr<platform::TracingPlatform> m_platform;
};

} // namespace kalo::cli
