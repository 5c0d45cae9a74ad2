#pragma once

#include <memory>

namespace kalo::platform {

// A write to a socket or pipe whose reader went away fails with an error
// instead of ending the program.
void IgnoreBrokenPipes();

// From now on, an interrupt, termination or hang-up makes the returned
// descriptor readable instead of ending the program, so a window loop can
// end the ordinary way. -1 when that cannot be set up (the signals then keep
// their usual effect). For one caller per process.
int NoticeTerminationSignals();
// Reads away the notices so far, so the descriptor waits again.
void DrainTerminationNotices(int fd);

// While it lives, interrupt, termination and hang-up wait; they take effect
// when it goes (their earlier state comes back then).
class DeferredTerminationSignals {
public:
    DeferredTerminationSignals();
    ~DeferredTerminationSignals();
    DeferredTerminationSignals(const DeferredTerminationSignals&) = delete;
    DeferredTerminationSignals& operator=(const DeferredTerminationSignals&) = delete;

private:
    struct Previous;
    std::unique_ptr<Previous> m_previous;
};

} // namespace kalo::platform
