#pragma once

#include "Profile.h"
#include "StatusExchange.h"
#include "port/WriteReport.h"

#include <optional>
#include <string>
#include <vector>

namespace kalo {

// The rules a Set Status keeps, whoever presses it.

// Power save the printer did not answer for is not written, so its time is
// not checked; otherwise a time the printer does not take (or a box that
// holds no number: readable false) is refused before anything is written,
// so the old value is never sent behind the technician's back.
bool EntranceTimeRefused(const PrinterFacts& facts, bool readable = true);
// A double-byte font choice other than "No Change" (0) and "[Single Byte
// Font]" (1) has its image sent after the switches.
inline bool ChoiceNeedsDownload(int choice) { return choice != 0 && choice != 1; }
// A font download after a status the printer may not hold would only add to
// the doubt: only a write that went out whole goes on into one.
inline bool FontDownloadFollows(int choice, bool wholeWrite) { return wholeWrite && ChoiceNeedsDownload(choice); }

// A status exchange over an open port, with the record and facts it fills.
struct StatusRun {
    StatusRun(CPrinterPort& link, PortKind interfaceKind, platform::Clock& clock, platform::MessageSink& messages,
              ProgressSink& progress);
    StatusRun(const StatusRun&) = delete;
    StatusRun& operator=(const StatusRun&) = delete;

    // Why a read of the whole status did not give the printer's.
    struct Reading {
        bool checked = false; // the printer answered its check, so the replies were asked for
        bool whole = false;
        bool interrupted = false;
        StatusReadReport report; // which replies came, once checked
        // "the printer did not answer its check" (its message has gone to the
        // sink), "interrupted", or which replies are missing.
        std::string reason;
        // For the error stream: the replies missing and the port's reason;
        // empty when the sink has said it or there is nothing to say.
        std::string trouble;
    };
    // The check, then switches and power save, as Get Status reads them.
    Reading ReadPrinter();
    // What the printer holds, after a whole ReadPrinter.
    StatusTarget Held() const { return ResolveProfile(PrinterProfile(record, facts)); }

    CPrinterPort& port;
    StatusRecord record;
    PrinterFacts facts;
    StatusExchange exchange;
};

// What to set and how.
struct StatusApplyRequest {
    StatusTarget asked;
    bool readFirst = false; // write only when the printer differs
    bool dryRun = false;    // read, compare, write nothing
    bool verify = false;    // read back after the write
    int fontChoice = 0;     // the double-byte choice the edits left
    RepeatBy repeat = RepeatBy::Command; // how a stopped write says to start again
};

enum class StatusApplyEnd {
    Written,             // whole (and held, when verified)
    Unchanged,           // the printer already holds it, or a dry run: nothing written
    NotRead,             // the read first did not give the printer's status
    CheckFailed,         // the check before a write without a read first
    PowerSaveUnknown,    // no power-save answer, so nothing to keep
    EntranceTimeRefused, // the time to write is one the printer does not take
    Interrupted,         // the power-save read was cut off: nothing to say
    WriteStopped,        // the writes did not all go out
    NotReadBack,         // written, but the read back did not come whole
    NotTaken,            // written, but pins read back otherwise
};

// What a Set Status did.
struct StatusApplyOutcome {
    StatusApplyEnd end = StatusApplyEnd::NotRead;
    StatusTarget asked;
    bool changed = false; // differences found, or taken as one when not read first
    bool written = false; // every write went out whole
    std::optional<bool> verified;
    std::vector<StatusDifference> differences;
    std::vector<std::string> notTaken; // as NotTaken gives them
    std::string message;
    // For the error stream, before the message: replies missing, a stopped
    // write's counts, the port's reason.
    std::string trouble;
    // The font image of fontChoice goes next.
    bool downloadFont = false;
};

// Set Status over a run whose port is open and whose printer is identified.
StatusApplyOutcome ApplyStatus(StatusRun& run, const StatusApplyRequest& request);

} // namespace kalo
