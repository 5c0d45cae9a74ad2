#include "StatusApply.h"

#include "PrinterSettingForm.h"
#include "StatusTexts.h"
#include "platform/Interruption.h"
#include "port/WriteReport.h"

namespace kalo {

namespace {

// The lines of what went wrong and why the port says it did.
std::string WithPortReason(std::string text, const CPrinterPort& port)
{
    if (const std::string reason = port.FailureText(); !reason.empty())
        text += "\n" + reason;
    return text;
}

} // namespace

bool EntranceTimeRefused(const PrinterFacts& facts, bool readable)
{
    return !facts.powerSaveUnanswered
        && (!readable || facts.entranceTime < PrinterSettingForm::kEntranceTimeMin
            || facts.entranceTime > PrinterSettingForm::kEntranceTimeMax);
}

StatusRun::StatusRun(CPrinterPort& link, PortKind interfaceKind, platform::Clock& clock,
                     platform::MessageSink& messages, ProgressSink& progress)
    : port(link)
    , exchange({link, interfaceKind, clock, messages, progress, record, facts, nullptr})
{
}

StatusRun::Reading StatusRun::ReadPrinter()
{
    Reading reading;
    if (!exchange.CheckPrinter()) {
        reading.reason = "the printer did not answer its check";
        return reading;
    }
    reading.checked = true;
    reading.report = exchange.ReadStatus();
    if (platform::Interrupted()) {
        reading.interrupted = true;
        reading.reason = "interrupted";
        return reading;
    }
    if (!reading.report.Complete()) {
        reading.reason = NoAnswerMessage(reading.report);
        reading.trouble = WithPortReason(reading.reason, port);
        return reading;
    }
    reading.whole = true;
    return reading;
}

StatusApplyOutcome ApplyStatus(StatusRun& run, const StatusApplyRequest& request)
{
    StatusApplyOutcome outcome;
    outcome.asked = request.asked;
    const StatusTarget& asked = request.asked;
    if (request.readFirst || request.dryRun) {
        const StatusRun::Reading reading = run.ReadPrinter();
        if (!reading.whole) {
            outcome.message = reading.reason + "; nothing was written";
            outcome.trouble = reading.trouble;
            return outcome;
        }
        outcome.differences = Differences(run.Held(), asked);
        outcome.changed = !outcome.differences.empty();
        outcome.end = StatusApplyEnd::Unchanged;
        if (request.dryRun) {
            outcome.message = outcome.changed ? "Set Status would change the above; nothing was written (dry run)"
                                              : "The printer already holds this status; nothing was written (dry run)";
            return outcome;
        }
        if (!outcome.changed) {
            outcome.message = "The printer already holds this status; nothing was written";
            return outcome;
        }
    } else {
        if (!run.exchange.CheckPrinter()) {
            outcome.end = StatusApplyEnd::CheckFailed;
            outcome.message = "the printer did not answer its check";
            return outcome;
        }
        // The power-save write always goes out: what is not named keeps the
        // printer's value, so without an answer there is nothing to keep.
        if ((!asked.powerSave || !asked.entranceTime) && !run.exchange.ReadPowerSave().Complete()) {
            if (platform::Interrupted()) {
                outcome.end = StatusApplyEnd::Interrupted;
                return outcome;
            }
            outcome.end = StatusApplyEnd::PowerSaveUnknown;
            outcome.message = "the printer did not answer for power save, so the mode and entrance time to keep "
                              "are not known; nothing was written (give both --power-save and --entrance-time "
                              "to set them)";
            return outcome;
        }
        outcome.changed = true; // not read first: taken as a change
    }
    run.record = asked.record;
    if (asked.powerSave)
        run.facts.powerSaveMode = *asked.powerSave ? 1 : 0;
    if (asked.entranceTime)
        run.facts.entranceTime = *asked.entranceTime;
    if (EntranceTimeRefused(run.facts)) {
        outcome.end = StatusApplyEnd::EntranceTimeRefused;
        outcome.changed = false;
        outcome.message = PrinterSettingForm::kEntranceTimeRange; // the printer's own value, kept
        return outcome;
    }
    outcome.written = run.exchange.WriteStatus();
    if (!outcome.written) {
        outcome.end = StatusApplyEnd::WriteStopped;
        outcome.message = "Set Status stopped before it was whole (standard error says where)";
        outcome.trouble =
            WithPortReason(StoppedWriteMessage(run.exchange.SetStatusOperation(), run.port.Tally(), request.repeat), run.port);
        return outcome;
    }
    outcome.downloadFont = FontDownloadFollows(request.fontChoice, outcome.written);
    outcome.end = StatusApplyEnd::Written;
    outcome.message = kSetStatusSucceeded;
    if (!request.verify)
        return outcome;
    const StatusRun::Reading reading = run.ReadPrinter();
    if (!reading.whole) {
        outcome.end = StatusApplyEnd::NotReadBack;
        outcome.verified = false;
        outcome.message = "written, but not read back: " + reading.reason;
        outcome.trouble = reading.trouble;
        return outcome;
    }
    outcome.notTaken = NotTaken(asked, run.Held());
    outcome.verified = outcome.notTaken.empty();
    if (!outcome.notTaken.empty()) {
        outcome.end = StatusApplyEnd::NotTaken;
        outcome.message.clear();
        for (const std::string& pin : outcome.notTaken)
            outcome.message += (outcome.message.empty() ? "" : "; ") + pin;
        return outcome;
    }
    outcome.message += "; read back: the printer holds every pin asked";
    return outcome;
}

} // namespace kalo
