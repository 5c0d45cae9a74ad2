#pragma once

#include "PrinterState.h"
#include "port/CPrinterPort.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalo {

// What a real-time status read got from the port: the replies to DLE EOT
// 1..4 as they came (none for a request not answered), and on a parallel
// port the lp driver's status byte (platform::ParallelStatusBit).
struct RealTimeReplies {
    std::array<std::optional<uint8_t>, 4> bytes;
    std::optional<uint8_t> lineStatus;
};

// A printer's real-time status, never guessed: a part whose reply is
// missing or malformed is unknown (none), not ready.
struct RealTimeStatus {
    // The replies to n = 1..4; none when missing or not of a status byte's shape.
    std::array<std::optional<uint8_t>, 4> replies;
    PaperState paper = PaperState::Unknown;
    std::optional<bool> coverOpen;
    std::optional<bool> offline;
    // The drawer connector's pin 3; says nothing of whether it can print.
    std::optional<bool> drawerHigh;
    // "cutter", "unrecoverable", "auto", and "error" for an error the
    // off-line cause reports with no cause given; empty for none.
    std::optional<std::vector<std::string>> errors;
    // Bits not defined on every model, for information only:
    // "waiting-for-recovery", "feed-button" (held down), "feeding" (by the button).
    std::vector<std::string> info;
    // No reply came and the parallel port's lp status stood in.
    bool fromLineStatus = false;
    // The most severe state the parts show.
    PrinterState state = PrinterState::Unknown;

    bool Ready() const { return state == PrinterState::Ready; }
    // Something answered: a status byte came, or the lp status stood in.
    bool Answered() const;
    // The state in words, as kaloctl prints it (see ErrorText for the errors):
    // "Ready"; "Busy"; "Unreachable"; otherwise what stands in the way, in
    // this order and joined by ", ": "cover open", "paper out" or "paper near
    // end", then the errors ("off line: " before them when the printer says it
    // is off line), else "off line" when nothing above explains it; the first
    // letter capitalised ("Cover open, paper out", "Off line: auto-cutter
    // error"). With the state unknown: "Unknown", or what is known followed
    // by ", the rest unknown".
    std::string Text() const;

    // A status that was not read (busy, unreachable): every part unknown.
    static RealTimeStatus Unread(PrinterState why);
};

// "cutter" -> "auto-cutter error", "unrecoverable" -> "unrecoverable error",
// "auto" -> "automatically recoverable error", "error" -> "error".
std::string ErrorText(const std::string& error);

// A real-time status byte has bits 1 and 4 set and bits 0 and 7 clear.
bool IsStatusByte(uint8_t byte);

// What the replies say (pure). When no reply came and the lp status is
// there, it says what it can: paper out or in (the near end it cannot see),
// off line when not selected, an error on a fault, and the cover closed
// while the printer is selected (an open cover takes it off line).
RealTimeStatus DecodeRealTimeStatus(const RealTimeReplies& replies);

// The whole read is bounded by this; a request not sent or answered by then is unknown.
inline constexpr uint32_t kRealTimeStatusBoundMs = 1000;

// Sends DLE EOT n for n = 1..4 on the open port and reads one byte after
// each (under the fixed pace after a 100 ms wait), all within
// kRealTimeStatusBoundMs, a reply not there after the wait waited for at most
// its share of the time left; nothing else is sent, so a printer in the middle
// of a receipt is not disturbed. interfaceKind: the kind the port was opened
// as; on a parallel port the lp status is read too.
RealTimeReplies ReadRealTimeReplies(CPrinterPort& port, PortKind interfaceKind);
RealTimeStatus ReadRealTimeStatus(CPrinterPort& port, PortKind interfaceKind);
// Why a read left the state unknown or unreachable: the port's reason, or
// that a reply was missing or malformed.
std::string UnreadReason(const CPrinterPort& port);

} // namespace kalo
