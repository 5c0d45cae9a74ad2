#pragma once

#include "Command.h"

namespace kalo::cli {

// The printers of a targets file watched until interrupted: a line for
// each change of state, the on-change program run for it, the states
// served to Prometheus, and with a profile, drift from it.
class WatchCommand final : public Command {
public:
    const char* Name() const override { return "watch"; }
    const char* Summary() const override { return "watch the live state of many printers; serve it to Prometheus"; }
    const char* Description() const override;
    std::vector<const OptionInfo*> Options() const override;
    bool NeedsPrinter() const override { return false; }
    bool Traced() const override { return true; }
    int Execute(CommandContext& context) override;
};

} // namespace kalo::cli
