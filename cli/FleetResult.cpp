#include "FleetResult.h"

#include "Command.h"

namespace kalo::cli {

namespace {

constexpr int kFirstSignalStatus = 128;

// The lines of a text joined into one, blank ones left out.
std::string OneLine(const std::string& text)
{
    std::string line;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        std::string part = text.substr(at, end - at);
        at = end + 1;
        while (!part.empty() && (part.back() == ' ' || part.back() == '\r'))
            part.pop_back();
        if (!part.empty())
            line += (line.empty() ? "" : " ") + part;
    }
    return line;
}

std::string LastLine(const std::string& text)
{
    size_t end = text.find_last_not_of("\r\n");
    if (end == std::string::npos)
        return "";
    const size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1, end + 1 - (start == std::string::npos ? 0 : start + 1));
}

std::string Text(const nlohmann::json& value)
{
    if (value.is_string())
        return value.get<std::string>();
    return value.is_null() ? "" : value.dump();
}

// "6/2 off->on" for a pin, "code-page PC437->PC850" for a setting.
std::string Changes(const nlohmann::json& differences)
{
    std::string changes;
    for (const nlohmann::json& difference : differences) {
        if (!difference.is_object())
            continue;
        const std::string what = difference.contains("setting")
            ? Text(difference["setting"]) + " "
            : Text(difference.value("switch", nlohmann::json())) + "/" + Text(difference.value("pin", nlohmann::json()))
                + " ";
        changes += (changes.empty() ? "" : ", ") + what + Text(difference.value("from", nlohmann::json())) + "->"
            + Text(difference.value("to", nlohmann::json()));
    }
    return changes;
}

} // namespace

const char* OutcomeText(TargetOutcome outcome)
{
    switch (outcome) {
    case TargetOutcome::Ok:
        return "ok";
    case TargetOutcome::Same:
        return "same";
    case TargetOutcome::Different:
        return "different";
    case TargetOutcome::Attention:
        return "attention";
    case TargetOutcome::CannotPrint:
        return "cannot-print";
    case TargetOutcome::Failed:
        return "failed";
    case TargetOutcome::TimedOut:
        return "timed-out";
    case TargetOutcome::Died:
        return "died";
    case TargetOutcome::Interrupted:
        return "interrupted";
    }
    return "";
}

bool IsFailure(TargetOutcome outcome)
{
    return outcome != TargetOutcome::Ok && outcome != TargetOutcome::Same && outcome != TargetOutcome::Different
        && outcome != TargetOutcome::Attention && outcome != TargetOutcome::CannotPrint;
}

TargetResult InterpretChild(FleetTask task, const ChildReport& report, const std::string& profileFile)
{
    TargetResult result;
    result.seconds = double(report.micros) / 1e6;
    result.peakKiB = report.exit.peakKiB;
    const bool signalled = report.exit.end == platform::ChildEnd::Signalled;
    result.exit = signalled ? kFirstSignalStatus + report.exit.code : report.exit.code;

    // diff, set-status and status print one JSON object, also when they fail.
    const nlohmann::json reply = task == FleetTask::Diff || task == FleetTask::SetStatus || task == FleetTask::Status
        ? nlohmann::json::parse(report.out, nullptr, false)
        : nlohmann::json();
    if (reply.is_object()) {
        result.changed = reply.value("changed", nlohmann::json(false)).is_boolean() && reply.value("changed", false);
        if (const auto differences = reply.find("differences");
            differences != reply.end() && differences->is_array()) {
            result.differences = *differences;
            result.changes = Changes(*differences);
        }
        result.message = Text(reply.value(task == FleetTask::Status ? "text" : "message", nlohmann::json()));
        if (task == FleetTask::Status)
            result.status = reply;
    }
    const std::string reasons = OneLine(report.err);

    if (report.exit.end == platform::ChildEnd::NotStarted) {
        result.outcome = TargetOutcome::Failed;
        result.exit = -1;
        result.message = "could not start: " + report.exit.text;
    } else if (report.fate == ChildFate::TimedOut) {
        result.outcome = TargetOutcome::TimedOut;
        result.message = "stopped after " + std::to_string(int64_t(result.seconds)) + " s without an end"
            + (reasons.empty() ? "" : ": " + reasons);
    } else if (report.fate == ChildFate::Interrupted || (!signalled && result.exit > kFirstSignalStatus)) {
        result.outcome = TargetOutcome::Interrupted;
        result.message = reasons.empty() ? "interrupted" : reasons;
    } else if (signalled) {
        result.outcome = TargetOutcome::Died;
        result.message = "ended by signal " + std::to_string(report.exit.code) + " (" + report.exit.text + ")"
            + (reasons.empty() ? "" : ": " + reasons);
    } else if (result.exit == 0) {
        result.outcome = task == FleetTask::Diff ? TargetOutcome::Same : TargetOutcome::Ok;
        // set-status says what it did in its JSON; get-status's last line
        // is only the last of the printer's settings.
        if (task == FleetTask::GetStatus)
            result.message = "profile written to " + profileFile;
        else if (task == FleetTask::Identify)
            result.message = LastLine(report.out);
    } else if (result.exit == kExitDifferent && task == FleetTask::Diff) {
        result.outcome = TargetOutcome::Different;
    } else if ((result.exit == kExitAttention || result.exit == kExitCannotPrint) && task == FleetTask::Status) {
        result.outcome = result.exit == kExitAttention ? TargetOutcome::Attention : TargetOutcome::CannotPrint;
    } else {
        // Standard error holds the printer's own words; the JSON message may
        // only point there.
        result.outcome = TargetOutcome::Failed;
        if (!reasons.empty())
            result.message = reasons;
        else if (result.message.empty())
            result.message = "exit status " + std::to_string(result.exit);
    }
    return result;
}

} // namespace kalo::cli
