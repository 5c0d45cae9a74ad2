#include "../Signals.h"

#include "../Interruption.h"

#include <csignal>

namespace kalo::platform {

namespace {

constexpr int kTerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

} // namespace

void IgnoreBrokenPipes()
{
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGPIPE, &action, nullptr);
    sigaction(SIGXFSZ, &action, nullptr);
}

void InterruptOnTerminationSignals()
{
    // The wake-up pipe exists before a handler can want it.
    ClearInterruption();
    struct sigaction action {};
    action.sa_handler = [](int signal) { Interrupt(signal); };
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read of standard input that waits for a terminal ends too.
    action.sa_flags = 0;
    for (int signal : kTerminationSignals)
        sigaction(signal, &action, nullptr);
}

} // namespace kalo::platform
