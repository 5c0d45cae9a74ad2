#pragma once

namespace kalo::platform {

// A write to a socket or pipe whose reader went away, or past the file size
// limit, fails with an error instead of ending the program.
void IgnoreBrokenPipes();

// From now on, an interrupt, termination or hang-up makes the returned
// descriptor readable instead of ending the program, so a window loop can
// end the ordinary way. -1 when that cannot be set up (the signals then keep
// their usual effect). For one caller per process.
int NoticeTerminationSignals();
// Reads away the notices so far, so the descriptor waits again.
void DrainTerminationNotices(int fd);

// From now on, an interrupt, termination or hang-up interrupts the program
// (see Interruption.h) instead of ending it: the command under way stops at
// its next wait and the program ends the ordinary way, its clean-up done.
// For a program without a window loop; one caller per process.
void InterruptOnTerminationSignals();

} // namespace kalo::platform
