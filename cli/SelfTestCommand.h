#pragma once

#include "PrinterCommand.h"

namespace kalo::cli {

class SelfTestCommand final : public PrinterCommand {
public:
    const char* Name() const override { return "self-test"; }
    const char* Summary() const override { return "have the printer print its test page"; }
    const char* Description() const override;

protected:
    int Run(CommandContext& context, PrinterSession& session) override;
};

} // namespace kalo::cli
