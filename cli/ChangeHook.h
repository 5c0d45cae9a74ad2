#pragma once

#include "platform/Platform.h"

#include <functional>
#include <memory>
#include <string>

namespace kalo::cli {

// How long --on-change's program may run before it is stopped.
inline constexpr int64_t kChangeHookLimitMicros = 10'000'000;

// One change for the hook: its arguments NAME URI FROM TO, also given to it
// as KALO_NAME, KALO_URI, KALO_FROM and KALO_TO.
struct HookChange {
    std::string name, uri, from, to;
};

// --on-change PROGRAM: run once a change, no shell between, one at a time
// in the order the changes came, each within kChangeHookLimitMicros; its
// output and what went wrong (a program that cannot start, fails or runs
// out of time: "kaloctl: ...") are told, a whole line at a time, and the
// next one runs.
// Runs on a thread of its own, so a slow hook never holds up the polls.
class ChangeHook {
public:
    // Where its lines go: called from the hook's thread, one whole line (no newline) a call.
    using Teller = std::function<void(const std::string& line)>;
    // PROGRAM as given: a name without '/' is looked for on PATH. limitMicros: tests shorten it.
    ChangeHook(platform::Platform& platform, std::string program, Teller tell,
               int64_t limitMicros = kChangeHookLimitMicros);
    ~ChangeHook(); // stops a program still running, drops the ones waiting
    ChangeHook(const ChangeHook&) = delete;
    ChangeHook& operator=(const ChangeHook&) = delete;
    void Queue(HookChange change);
    // Waits until every change queued has had its run: what a test waits for.
    void Drain();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace kalo::cli
