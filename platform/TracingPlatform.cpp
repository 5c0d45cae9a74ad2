#include "TracingPlatform.h"

namespace kalo::platform {

TracingPlatform::TracingPlatform(Platform& inner, WireTrace& trace)
    : m_inner(inner)
    , m_trace(trace)
    , m_clock(inner.GetClock(), trace)
{
}

bool ProgramTrace::Start(const std::string& path, Platform& plain, std::ostream& standardError, std::string& error)
{
    std::ostream* out = &standardError;
    if (path != "-") {
        m_file = OpenTraceStream(path, error);
        if (!m_file) {
            error = "cannot write the trace file '" + path + "': " + error;
            return false;
        }
        out = m_file.get();
    }
    m_trace = std::make_unique<WireTrace>(*out, plain.GetClock());
    m_platform = std::make_unique<TracingPlatform>(plain, *m_trace);
    return true;
}

} // namespace kalo::platform
