#pragma once

#include "Command.h"

namespace kalo::cli {

class DiffCommand final : public Command {
public:
    const char* Name() const override { return "diff"; }
    const char* Summary() const override { return "compare two profiles, status files or the printer"; }
    const char* Description() const override;
    std::vector<const OptionInfo*> Options() const override;
    const char* Operands() const override { return "A B"; }
    int Execute(CommandContext& context) override;
};

} // namespace kalo::cli
