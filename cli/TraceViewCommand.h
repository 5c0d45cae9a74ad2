#pragma once

#include "Command.h"

namespace kalo::cli {

// Reads a wire trace as the protocol is described: each command by its
// name, each reply told in words where it is simple, the fixed waits, the
// failures and the time between lines.
class TraceViewCommand final : public Command {
public:
    const char* Name() const override { return "trace-view"; }
    const char* Summary() const override { return "a --trace file or a kalo-vprinter wire log, commands named"; }
    const char* Description() const override;
    const char* Operands() const override { return "FILE"; }
    bool NeedsPrinter() const override { return false; }
    int Execute(CommandContext& context) override;
};

// The trace (or wire log) as trace-view prints it.
std::string ViewTrace(const std::string& trace);

} // namespace kalo::cli
