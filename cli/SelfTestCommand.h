#pragma once

#include "Command.h"

namespace kalo::cli {

class SelfTestCommand final : public Command {
public:
    const char* Name() const override { return "self-test"; }
    const char* Summary() const override { return "have the printer print its test page"; }
    const char* Description() const override;
    int Execute(CommandContext& context) override;
};

} // namespace kalo::cli
