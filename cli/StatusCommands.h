#pragma once

#include "Command.h"
#include "PrinterCommand.h"
#include "TerminalOutput.h"
#include "status/Profile.h"
#include "status/StatusExchange.h"

namespace kalo::cli {

// The printer's status exchanges with a progress bar on the terminal.
struct StatusRun {
    StatusRun(CommandContext& context, PrinterSession& session);
    CPrinterPort& port;
    TerminalProgress progress;
    StatusRecord record;
    PrinterFacts facts;
    StatusExchange exchange;
};

// Checks the printer and reads its switches and power save, as get-status
// does. False when the check failed (it has said why) or a reply did not
// come whole (standard error names it); why in reason.
bool ReadPrinter(CommandContext& context, StatusRun& run, std::string& reason);
// What the printer holds, after ReadPrinter.
StatusTarget HeldTarget(const StatusRun& run);

class GetStatusCommand final : public Command {
public:
    const char* Name() const override { return "get-status"; }
    const char* Summary() const override { return "read the memory switches and settings"; }
    const char* Description() const override;
    std::vector<const OptionInfo*> Options() const override;
    int Execute(CommandContext& context) override;
};

class SetStatusCommand final : public Command {
public:
    const char* Name() const override { return "set-status"; }
    const char* Summary() const override { return "write switches and settings (only what is named)"; }
    const char* Description() const override;
    std::vector<const OptionInfo*> Options() const override;
    int Execute(CommandContext& context) override;
};

class PrintStatusCommand final : public Command {
public:
    const char* Name() const override { return "print-status"; }
    const char* Summary() const override { return "have the printer print its status sheet"; }
    const char* Description() const override;
    int Execute(CommandContext& context) override;
};

class PrintCodepageCommand final : public Command {
public:
    const char* Name() const override { return "print-codepage"; }
    const char* Summary() const override { return "have the printer print its code-page sheet"; }
    const char* Description() const override;
    int Execute(CommandContext& context) override;
};

class SelfTestCommand final : public Command {
public:
    const char* Name() const override { return "self-test"; }
    const char* Summary() const override { return "have the printer print its test page"; }
    const char* Description() const override;
    int Execute(CommandContext& context) override;
};

class ShowStsCommand final : public Command {
public:
    const char* Name() const override { return "show-sts"; }
    const char* Summary() const override { return "decode a .sts status file (no printer needed)"; }
    const char* Description() const override;
    std::vector<const OptionInfo*> Options() const override;
    const char* Operands() const override { return "FILE.sts"; }
    bool NeedsPrinter() const override { return false; }
    int Execute(CommandContext& context) override;
};

} // namespace kalo::cli
