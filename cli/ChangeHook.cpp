#include "ChangeHook.h"

#include "platform/Interruption.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>

namespace kalo::cli {

namespace {

// How long a program told to end may take before it is killed, and a killed
// one whose output stays open (something it started holds it) before its run
// is given up.
constexpr int64_t kStopGraceMicros = 1'000'000;

// The hook's programs are real processes: their limit is in real time, also
// when the printers' clock is a virtual one.
int64_t NowMicros()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// One run's output, told a whole line at a time, and how it ended.
class RunListener final : public platform::ChildListener {
public:
    explicit RunListener(const ChangeHook::Teller& tell) : m_tell(tell) {}

    void Output(int, platform::ChildStream stream, std::string_view bytes) override
    {
        std::string& pending = m_pending[stream == platform::ChildStream::Output ? 0 : 1];
        pending.append(bytes);
        for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
            m_tell(pending.substr(0, end));
    }

    void Ended(int, const platform::ChildExit& how) override
    {
        ended = true;
        exit = how;
    }

    // A last line without its newline is told too.
    void Flush()
    {
        for (std::string& pending : m_pending) {
            if (!pending.empty())
                m_tell(std::exchange(pending, {}));
        }
    }

    bool ended = false;
    platform::ChildExit exit;

private:
    const ChangeHook::Teller& m_tell;
    std::string m_pending[2];
};

// "10", "0.3": the limit as the time-out's line gives it.
std::string Seconds(int64_t micros)
{
    std::ostringstream text;
    text << double(micros) / 1e6;
    return text.str();
}

} // namespace

struct ChangeHook::State {
    platform::Platform& platform;
    std::string program;
    Teller tell;
    int64_t limitMicros;

    std::mutex lock;
    std::condition_variable changed;
    std::deque<HookChange> waiting;
    bool running = false; // a change taken from waiting and not yet done with
    bool ending = false;  // the hook is being destroyed
    bool over = false;    // an interruption ended the work: nothing more runs
    // The run under way, for the destructor to stop from its own thread.
    platform::ChildProcesses* children = nullptr;
    int child = 0;
    std::thread thread;

    void Work();
    // One change's run; false when an interruption or the end cut it short.
    bool Run(const HookChange& change);
    void Say(const HookChange& change, const std::string& what)
    {
        tell("kaloctl: on-change " + program + " for " + change.name + " " + what);
    }
    void SayNotRun(size_t count)
    {
        if (count > 0)
            tell("kaloctl: on-change " + program + ": " + std::to_string(count)
                 + (count == 1 ? " change" : " changes") + " not run");
    }
};

void ChangeHook::State::Work()
{
    for (;;) {
        std::unique_lock held(lock);
        changed.wait(held, [&] { return ending || !waiting.empty(); });
        if (ending)
            return;
        // One that came while the thread waited for work starts nothing.
        if (platform::Interrupted()) {
            over = true;
            const size_t dropped = std::exchange(waiting, {}).size();
            changed.notify_all();
            held.unlock();
            SayNotRun(dropped);
            return;
        }
        const HookChange change = std::move(waiting.front());
        waiting.pop_front();
        running = true;
        held.unlock();
        const bool whole = Run(change);
        held.lock();
        running = false;
        size_t dropped = 0;
        if (!whole && !ending) {
            over = true;
            dropped = std::exchange(waiting, {}).size();
        }
        changed.notify_all();
        if (!whole) {
            held.unlock();
            SayNotRun(dropped);
            return;
        }
    }
}

bool ChangeHook::State::Run(const HookChange& change)
{
    const auto processes = platform.NewChildProcesses();
    const int started = processes->Start(
        program, {program, change.name, change.uri, change.from, change.to},
        {"KALO_NAME=" + change.name, "KALO_URI=" + change.uri, "KALO_FROM=" + change.from, "KALO_TO=" + change.to});
    {
        const std::lock_guard held(lock);
        children = processes.get();
        child = started;
    }
    RunListener listener(tell);
    int64_t stepAt = NowMicros() + limitMicros; // when the next stop is due
    int stops = 0;                              // told to end, killed, given up
    bool cut = false;
    while (!listener.ended && stops < 3) {
        {
            const std::lock_guard held(lock);
            cut = ending;
        }
        // Every wait returns at once from now on: the program is killed as
        // the ChildProcesses goes, and the thread waits no more.
        if (cut || platform::Interrupted()) {
            cut = true;
            break;
        }
        const int64_t now = NowMicros();
        if (now >= stepAt) {
            if (++stops < 3)
                processes->Stop(started, stops == 1 ? platform::StopKind::Terminate : platform::StopKind::Kill);
            stepAt = now + kStopGraceMicros;
            continue;
        }
        processes->Wait(stepAt - now, listener);
    }
    {
        const std::lock_guard held(lock);
        children = nullptr;
    }
    listener.Flush();
    const platform::ChildExit& exit = listener.exit;
    if (cut)
        Say(change, "was stopped");
    else if (stops > 0)
        Say(change, "took over " + Seconds(limitMicros) + " s and was stopped");
    else if (exit.end == platform::ChildEnd::NotStarted)
        Say(change, "could not start: " + exit.text);
    else if (exit.end == platform::ChildEnd::Signalled)
        Say(change, "ended by signal " + exit.text);
    else if (exit.code != 0)
        Say(change, "exited with " + std::to_string(exit.code));
    return !cut;
}

ChangeHook::ChangeHook(platform::Platform& platform, std::string program, Teller tell, int64_t limitMicros)
    : m_state(new State{platform, std::move(program), std::move(tell), limitMicros})
{
    m_state->thread = std::thread([state = m_state.get()] { state->Work(); });
}

ChangeHook::~ChangeHook()
{
    State& state = *m_state;
    size_t dropped = 0;
    {
        const std::lock_guard held(state.lock);
        state.ending = true;
        dropped = std::exchange(state.waiting, {}).size();
        // Its end ends the hook thread's wait.
        if (state.children)
            state.children->Stop(state.child, platform::StopKind::Kill);
    }
    state.changed.notify_all();
    state.thread.join();
    state.SayNotRun(dropped);
}

void ChangeHook::Queue(HookChange change)
{
    {
        const std::lock_guard held(m_state->lock);
        if (m_state->over)
            return;
        m_state->waiting.push_back(std::move(change));
    }
    m_state->changed.notify_all();
}

void ChangeHook::Drain()
{
    std::unique_lock held(m_state->lock);
    m_state->changed.wait(held, [&] {
        return m_state->over || (m_state->waiting.empty() && !m_state->running);
    });
}

} // namespace kalo::cli
