#pragma once

#include "Command.h"

namespace kalo::cli {

// Check Communication from a shell: connect, identify, report.
class IdentifyCommand final : public Command {
public:
    const char* Name() const override { return "identify"; }
    const char* Summary() const override { return "check that a supported printer answers"; }
    const char* Description() const override;
    int Execute(CommandContext& context) override;
};

} // namespace kalo::cli
