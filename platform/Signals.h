#pragma once

namespace kalo::platform {

// A write to a socket or pipe whose reader went away, or past the file size
// limit, fails with an error instead of ending the program.
void IgnoreBrokenPipes();

// From now on, an interrupt, termination or hang-up interrupts the program
// (see Interruption.h) instead of ending it: the command under way stops at
// its next wait and the program ends the ordinary way, its clean-up done (a
// window loop learns of it through InterruptionNotice()). One caller per
// process.
void InterruptOnTerminationSignals();

} // namespace kalo::platform
