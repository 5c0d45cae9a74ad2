#pragma once

#include "PrinterCommand.h"

namespace kalo::cli {

// Check Communication from a shell: connect, identify, report.
class IdentifyCommand final : public PrinterCommand {
public:
    const char* Name() const override { return "identify"; }
    const char* Summary() const override { return "check that a supported printer answers"; }
    const char* Description() const override;
    std::vector<const OptionInfo*> Options() const override;

protected:
    int Prepare(CommandContext& context) override;
    int Run(CommandContext& context, PrinterSession& session) override;

private:
    bool m_json = false;
};

} // namespace kalo::cli
