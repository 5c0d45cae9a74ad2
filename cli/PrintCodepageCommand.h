#pragma once

#include "Command.h"

namespace kalo::cli {

class PrintCodepageCommand final : public Command {
public:
    const char* Name() const override { return "print-codepage"; }
    const char* Summary() const override { return "have the printer print its code-page sheet"; }
    const char* Description() const override;
    int Execute(CommandContext& context) override;
};

} // namespace kalo::cli
