#pragma once

#include "PrinterCommand.h"

namespace kalo::cli {

class PrintCodepageCommand final : public PrinterCommand {
public:
    const char* Name() const override { return "print-codepage"; }
    const char* Summary() const override { return "have the printer print its code-page sheet"; }
    const char* Description() const override;

protected:
    int Run(CommandContext& context, PrinterSession& session) override;
};

} // namespace kalo::cli
