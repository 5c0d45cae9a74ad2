#pragma once

namespace kalo::platform {

// The program was asked to stop (an interrupt, termination or hang-up, or a
// test standing in for one). From then on every wait of the program returns
// at once and the ports send and read nothing, so the exchange under way
// runs out within moments instead of waiting out its time-outs.
//
// False while an InterruptionHold lives, so a sequence that must not be cut
// in two finishes first.
bool Interrupted();
// The signal that asked, 0 when none did (a test's Interrupt(0) included).
int InterruptingSignal();
// What a signal handler does; also callable from any thread.
void Interrupt(int signal);
// Forgets an interruption, and readies the waits to wake on the next one:
// until it has been called once (InterruptOnTerminationSignals calls it),
// an interruption ends a wait only at the wait's next turn.
void ClearInterruption();
// A descriptor that turns readable once the program is interrupted, holds or
// not, and stays so until ClearInterruption(): for a window loop to watch.
// -1 until ClearInterruption() has been called once.
int InterruptionNotice();

// While one lives, Interrupted() is false and the waits run their whole
// time: what it guards goes out whole, then the interruption takes effect.
class InterruptionHold {
public:
    InterruptionHold();
    ~InterruptionHold();
    InterruptionHold(const InterruptionHold&) = delete;
    InterruptionHold& operator=(const InterruptionHold&) = delete;
};

} // namespace kalo::platform
