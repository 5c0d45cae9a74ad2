#include "FleetRunner.h"

#include "platform/Interruption.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace kalo::cli {

namespace {

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

struct Running {
    size_t job = 0;
    int64_t startedAt = 0;
    int64_t deadline = 0;
    int64_t killAt = kNever;
    ChildFate fate = ChildFate::Ended;
    std::string out, err;
    std::string line; // standard error's unfinished line
};

void Keep(std::string& kept, std::string_view bytes)
{
    kept.append(bytes.substr(0, FleetRunner::kMaxKeptOutput - std::min(kept.size(), FleetRunner::kMaxKeptOutput)));
}

class Listener final : public platform::ChildListener {
public:
    Listener(std::unordered_map<int, Running>& running, FleetObserver& observer, platform::Clock& clock)
        : m_running(running), m_observer(observer), m_clock(clock)
    {
    }

    void Output(int child, platform::ChildStream stream, std::string_view bytes) override
    {
        Running& running = m_running.at(child);
        if (stream == platform::ChildStream::Output) {
            Keep(running.out, bytes);
            return;
        }
        Keep(running.err, bytes);
        for (const char c : bytes) {
            if (c != '\n') {
                if (running.line.size() < 200)
                    running.line += c;
            } else if (!running.line.empty()) {
                m_observer.Step(running.job, running.line);
                running.line.clear();
            }
        }
    }

    void Ended(int child, const platform::ChildExit& exit) override
    {
        const auto found = m_running.find(child);
        Running& running = found->second;
        ChildReport report{running.job, running.fate, exit, std::move(running.out), std::move(running.err),
                           m_clock.NowMicros() - running.startedAt};
        m_running.erase(found);
        m_observer.Finished(report);
    }

private:
    std::unordered_map<int, Running>& m_running;
    FleetObserver& m_observer;
    platform::Clock& m_clock;
};

} // namespace

FleetRunner::FleetRunner(platform::ChildProcesses& children, platform::Clock& clock, std::string program,
                         int64_t stopGraceMicros)
    : m_children(children), m_clock(clock), m_program(std::move(program)), m_stopGraceMicros(stopGraceMicros)
{
}

FleetRunEnd FleetRunner::Run(const std::vector<FleetJob>& jobs, size_t parallel, FleetObserver& observer)
{
    std::unordered_map<int, Running> running;
    Listener listener(running, observer, m_clock);
    FleetRunEnd end;
    int interruptions = 0;
    for (;;) {
        // Looked at before any start, so one that came before the run, or
        // while the last wait was returning, starts nothing more.
        if (platform::Interrupted()) {
            if (++interruptions == 1) {
                end.interrupted = true;
                end.signal = platform::InterruptingSignal();
            }
            // Cleared, so the wait blocks again and a second one is seen.
            platform::ClearInterruption();
            if (interruptions == 2) {
                const int64_t stopped = m_clock.NowMicros();
                for (auto& [handle, child] : running) {
                    m_children.Stop(handle, platform::StopKind::Terminate);
                    child.fate = ChildFate::Interrupted;
                    child.killAt = std::min(child.killAt, stopped + m_stopGraceMicros);
                }
            }
        }
        while (interruptions == 0 && !platform::Interrupted() && end.started < jobs.size()
               && running.size() < parallel) {
            const FleetJob& job = jobs[end.started];
            const int64_t now = m_clock.NowMicros();
            Running& child = running[m_children.Start(m_program, job.args)];
            child.job = end.started++;
            child.startedAt = now;
            child.deadline = now + job.boundMicros;
            observer.Started(child.job);
        }
        if (running.empty())
            break;
        const int64_t now = m_clock.NowMicros();
        int64_t wait = kTickMicros;
        for (auto& [handle, child] : running) {
            if (now >= child.killAt) {
                m_children.Stop(handle, platform::StopKind::Kill);
                child.killAt = kNever;
            } else if (child.fate == ChildFate::Ended && now >= child.deadline) {
                m_children.Stop(handle, platform::StopKind::Terminate);
                child.fate = ChildFate::TimedOut;
                child.killAt = now + m_stopGraceMicros;
            }
            const int64_t next = child.fate == ChildFate::Ended ? child.deadline : child.killAt;
            wait = std::min(wait, next - now);
        }
        m_children.Wait(std::max<int64_t>(0, wait), listener);
        observer.Tick();
    }
    return end;
}

} // namespace kalo::cli
