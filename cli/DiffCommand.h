#pragma once

#include "PrinterCommand.h"
#include "status/Profile.h"

#include <optional>

namespace kalo::cli {

class DiffCommand final : public PrinterCommand {
public:
    const char* Name() const override { return "diff"; }
    const char* Summary() const override { return "compare two profiles, status files or the printer"; }
    const char* Description() const override;
    std::vector<const OptionInfo*> Options() const override;
    const char* Operands() const override { return "A B"; }

protected:
    // Two files are compared here, without the printer.
    int Prepare(CommandContext& context) override;
    int Run(CommandContext& context, PrinterSession& session) override;

private:
    int Compare(CommandContext& context) const;
    bool m_json = false;
    std::optional<StatusTarget> m_sides[2]; // empty for the printer
};

} // namespace kalo::cli
