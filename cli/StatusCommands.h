#pragma once

#include "PrinterCommand.h"
#include "TerminalOutput.h"
#include "status/StatusApply.h"

namespace kalo::cli {

// A status exchange over a session, its progress drawn on the terminal.
struct TerminalStatusRun {
    TerminalStatusRun(CommandContext& context, PrinterSession& session);
    TerminalProgress progress;
    StatusRun run;
};

// What get-status was asked for.
struct GetStatusRequest {
    bool json = false;
    bool partial = false;
    std::string save;
    std::string profileOut;
};

class GetStatusCommand final : public PrinterCommand {
public:
    const char* Name() const override { return "get-status"; }
    const char* Summary() const override { return "read the memory switches and settings"; }
    const char* Description() const override;
    std::vector<const OptionInfo*> Options() const override;

protected:
    int Prepare(CommandContext& context) override;
    int Run(CommandContext& context, PrinterSession& session) override;

private:
    GetStatusRequest m_request;
};

// Not a PrinterCommand: when the printer cannot be used, its outcome (JSON
// included) is still printed.
class SetStatusCommand final : public Command {
public:
    const char* Name() const override { return "set-status"; }
    const char* Summary() const override { return "write switches and settings (only what is named)"; }
    const char* Description() const override;
    std::vector<const OptionInfo*> Options() const override;
    int Execute(CommandContext& context) override;
};

class PrintStatusCommand final : public PrinterCommand {
public:
    const char* Name() const override { return "print-status"; }
    const char* Summary() const override { return "have the printer print its status sheet"; }
    const char* Description() const override;

protected:
    int Run(CommandContext& context, PrinterSession& session) override;
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
