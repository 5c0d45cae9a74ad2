#pragma once

#include "Command.h"
#include "StatusReport.h"
#include "status/RealTimeStatus.h"

namespace kalo::cli {

// The printer's live state: the real-time status read on a port opened
// without identification, the spooler queues left alone.
class RealTimeStatusCommand final : public Command {
public:
    const char* Name() const override { return "status"; }
    const char* Summary() const override { return "read the printer's live state: paper, cover, errors"; }
    const char* Description() const override;
    std::vector<const OptionInfo*> Options() const override;
    int Execute(CommandContext& context) override;
};

// What kaloctl exits with for a state: 0 ready, 4 needs attention soon, 5
// cannot print, 1 for a state not read (unknown, busy, unreachable).
int ExitStatusOf(PrinterState state);

// The state as status --json prints it: {"state", "text", "ready", "paper", ...}.
Json RealTimeStatusJson(const RealTimeStatus& status);

} // namespace kalo::cli
