#pragma once

#include "Command.h"

namespace kalo::cli {

// One command against every printer of a targets file, each in a kaloctl
// of its own, so a printer that hangs or a child that crashes costs only
// its own line of the summary.
class FleetCommand final : public Command {
public:
    const char* Name() const override { return "fleet"; }
    const char* Summary() const override { return "run a command against every printer of a targets file"; }
    const char* Description() const override;
    std::vector<const OptionInfo*> Options() const override;
    const char* Operands() const override { return "COMMAND [PROFILE]"; }
    bool NeedsPrinter() const override { return false; }
    int Execute(CommandContext& context) override;
};

} // namespace kalo::cli
