#pragma once

#include "Command.h"

namespace kalo::cli {

// The serial devices present, as the main window lists them after its COM entries.
class ListSerialCommand final : public Command {
public:
    const char* Name() const override { return "list-serial"; }
    const char* Summary() const override { return "list the serial devices present (USB adapters and UARTs)"; }
    const char* Description() const override;
    std::vector<const OptionInfo*> Options() const override;
    bool NeedsPrinter() const override { return false; }
    int Execute(CommandContext& context) override;
};

} // namespace kalo::cli
