#pragma once

namespace kalo {

// What a printer's real-time status comes to, in one word: the same words in
// kaloctl's text and JSON, the fleet's report and the window. Busy and
// unreachable are said without a reply: a print queue is printing on the
// port, or the port did not open.
enum class PrinterState { Ready, PaperNearEnd, PaperOut, CoverOpen, Offline, Error, Busy, Unknown, Unreachable };

// The roll as the paper sensor reports it.
enum class PaperState { Ok, NearEnd, Out, Unknown };

// "ready", "paper-near-end", "paper-out", "cover-open", "offline", "error",
// "busy", "unknown", "unreachable".
const char* PrinterStateWord(PrinterState state);
// "ok", "near-end", "out", "unknown".
const char* PaperStateWord(PaperState paper);

// It prints, but someone should look soon: the paper is near its end.
bool NeedsAttention(PrinterState state);
// It will not print until someone sees to it: paper out, cover open, off line, an error.
bool CannotPrint(PrinterState state);

} // namespace kalo
