#pragma once

#include "ForwardingPlatform.h"
#include "WireTrace.h"

#include <memory>
#include <ostream>
#include <string>

namespace kalo::platform {

// The platform as it is, with its clock's fixed waits written to a trace
// and the trace offered to the port facade: every port kind and every
// exchange is traced without a line of its own. A program that is not
// asked for a trace never makes one.
class TracingPlatform final : public ForwardingPlatform {
public:
    TracingPlatform(Platform& inner, WireTrace& trace);

    Clock& GetClock() override { return m_clock; }
    WireTrace* Trace() override { return &m_trace; }

private:
    // Fixed waits ("wait N ms") get a line; paced waits toward a deadline
    // do not, their gaps show in the times.
    class TracingClock final : public Clock {
    public:
        TracingClock(Clock& inner, WireTrace& trace)
            : m_inner(inner)
            , m_trace(trace)
        {
        }
        int64_t NowMicros() override { return m_inner.NowMicros(); }
        void SleepMs(uint32_t ms) override
        {
            m_trace.Wait(ms);
            m_inner.SleepMs(ms);
        }
        void SleepUntilMicros(int64_t deadline) override { m_inner.SleepUntilMicros(deadline); }

    private:
        Clock& m_inner;
        WireTrace& m_trace;
    };

    WireTrace& m_trace;
    TracingClock m_clock;
};

// The trace a program was asked for ("-" for standard error, which the
// program hands in as a stream), and the platform its exchanges run on.
class ProgramTrace {
public:
    // False with the file and the reason when the file cannot be written.
    // lost: as WireTrace takes it.
    bool Start(const std::string& path, Platform& plain, std::ostream& standardError, std::string& error,
               std::function<void()> lost = {});
    // The platform to run on: plain, or with a trace started, the same writing to it.
    Platform& Use(Platform& plain) { return m_platform ? *m_platform : plain; }
    bool Lost() const { return m_trace && m_trace->Lost(); }
    // Once lost, what was lost and why: "cannot write the trace file 'PATH': REASON".
    std::string LostReason() const;

private:
    std::string m_path;
    std::ostream* m_out = nullptr;
    std::unique_ptr<OutputBuffer> m_file;
    std::unique_ptr<std::ostream> m_fileStream;
    std::unique_ptr<WireTrace> m_trace;
    std::unique_ptr<TracingPlatform> m_platform;
};

} // namespace kalo::platform
