#pragma once

#include "FleetRunner.h"

#include <nlohmann/json.hpp>

#include <string>

namespace kalo::cli {

// What the fleet runs on each printer.
enum class FleetTask { Identify, GetStatus, Diff, SetStatus, Status };
// Their names on the command line, in that order.
constexpr const char* kFleetTasks[] = {"identify", "get-status", "diff", "set-status", "status"};

enum class TargetOutcome {
    Ok,          // done (set-status: changed says whether it wrote)
    Same,        // diff: the printer holds the profile
    Different,   // diff: it does not
    Attention,   // status: it prints but needs attention soon
    CannotPrint, // status: it cannot print
    Failed,      // the child said why
    TimedOut,    // stopped when its time ran out
    Died,        // ended by a signal it did not handle
    Interrupted, // stopped by a second Ctrl+C or a signal of its own
};

const char* OutcomeText(TargetOutcome outcome);
bool IsFailure(TargetOutcome outcome);

// One printer's result as the summary and the JSON lines give it.
struct TargetResult {
    TargetOutcome outcome = TargetOutcome::Failed;
    int exit = 0; // the child's exit status; 128 and the number of a signal that ended it
    double seconds = 0;
    bool changed = false;
    std::string message;
    std::string changes; // the differences in short: "6/2 off->on, code-page PC437->PC850"
    nlohmann::json differences = nlohmann::json::array();
    int64_t peakKiB = 0;
    nlohmann::json status; // status: the child's JSON, null when it printed none
};

// Reads what a child left: its exit, its JSON on standard output (diff and
// set-status) and its reasons on standard error. profileFile: where a
// get-status child was told to write the printer's profile.
TargetResult InterpretChild(FleetTask task, const ChildReport& report, const std::string& profileFile);

} // namespace kalo::cli
