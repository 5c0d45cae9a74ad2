#pragma once

#include "platform/ChildProcesses.h"
#include "platform/Clock.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kalo::cli {

// One child to run: its arguments (the first is the program's name) and
// how long it may take before it is stopped.
struct FleetJob {
    std::vector<std::string> args;
    int64_t boundMicros = 0;
};

enum class ChildFate {
    Ended,       // on its own
    TimedOut,    // stopped when its time ran out
    Interrupted, // stopped by a second interruption
};

// What a finished child left.
struct ChildReport {
    size_t job = 0;
    ChildFate fate = ChildFate::Ended;
    platform::ChildExit exit;
    std::string out, err; // the first kMaxKeptOutput bytes of each
    int64_t micros = 0;
};

class FleetObserver {
public:
    virtual ~FleetObserver() = default;
    virtual void Started(size_t job) { (void)job; }
    // A line the child wrote on standard error: where it has got to.
    virtual void Step(size_t job, const std::string& line)
    {
        (void)job;
        (void)line;
    }
    virtual void Finished(const ChildReport& report) = 0;
    // Between waits, at least every kTickMicros while children run.
    virtual void Tick() {}
};

// How a run ended: every job finished, or an interruption stopped the
// starting (signal says which); started says how many jobs were begun.
struct FleetRunEnd {
    size_t started = 0;
    bool interrupted = false;
    int signal = 0;
};

// Runs the jobs as children, at most parallel at a time, in one wait for
// all of them. A first interruption stops the starting of new jobs and lets
// the running ones finish; a second one asks them to stop (a child holds
// that until its printer has left user-setting mode) and waits for them.
class FleetRunner {
public:
    static constexpr size_t kMaxKeptOutput = 64 * 1024;
    static constexpr int64_t kTickMicros = 200000;
    // After a stop is asked, the time a child has before it is killed.
    static constexpr int64_t kStopGraceMicros = 10000000;

    FleetRunner(platform::ChildProcesses& children, platform::Clock& clock, std::string program,
                int64_t stopGraceMicros = kStopGraceMicros);
    FleetRunEnd Run(const std::vector<FleetJob>& jobs, size_t parallel, FleetObserver& observer);

private:
    platform::ChildProcesses& m_children;
    platform::Clock& m_clock;
    std::string m_program;
    int64_t m_stopGraceMicros;
};

} // namespace kalo::cli
