#pragma once

#include "Command.h"

namespace kalo::cli {

// The family's printers on USB as the main window's port list shows them.
class ListUsbCommand final : public Command {
public:
    const char* Name() const override { return "list-usb"; }
    const char* Summary() const override { return "list the printers of the family on USB"; }
    const char* Description() const override;
    std::vector<const OptionInfo*> Options() const override;
    bool NeedsPrinter() const override { return false; }
    int Execute(CommandContext& context) override;
};

} // namespace kalo::cli
