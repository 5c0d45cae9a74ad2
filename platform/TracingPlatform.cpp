#include "TracingPlatform.h"

namespace kalo::platform {

TracingPlatform::TracingPlatform(Platform& inner, WireTrace& trace)
    : ForwardingPlatform(inner)
    , m_trace(trace)
    , m_clock(inner.GetClock(), trace)
{
}

bool ProgramTrace::Start(const std::string& path, Platform& plain, std::ostream& standardError, std::string& error,
                         std::function<void()> lost)
{
    m_path = path;
    m_out = &standardError;
    if (path != "-") {
        m_file = OpenTraceFile(path, error);
        if (!m_file) {
            error = "cannot write the trace file '" + path + "': " + error;
            return false;
        }
        m_fileStream = std::make_unique<std::ostream>(m_file.get());
        m_out = m_fileStream.get();
    }
    m_trace = std::make_unique<WireTrace>(*m_out, plain.GetClock(), std::move(lost));
    m_platform = std::make_unique<TracingPlatform>(plain, *m_trace);
    return true;
}

std::string ProgramTrace::LostReason() const
{
    // Standard error is the program's own checked buffer outside the tests.
    const auto* buffer = dynamic_cast<const OutputBuffer*>(m_out ? m_out->rdbuf() : nullptr);
    const std::string reason = buffer && !buffer->Failure().empty() ? buffer->Failure() : "the stream refused it";
    return (m_path == "-" ? std::string("cannot write the trace to standard error") :
                            "cannot write the trace file '" + m_path + "'") + ": " + reason;
}

} // namespace kalo::platform
