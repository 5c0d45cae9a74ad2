#pragma once

#include "PrinterCommand.h"

namespace kalo::cli {

// The Command Test Editor's Write Command, from the command line.
class SendCommand final : public PrinterCommand {
public:
    const char* Name() const override { return "send"; }
    const char* Summary() const override { return "send command bytes typed in hexadecimal, or a command file"; }
    const char* Description() const override;
    std::vector<const OptionInfo*> Options() const override;
    const char* Operands() const override { return "[HEXTEXT]"; }

protected:
    int Prepare(CommandContext& context) override;
    int Run(CommandContext& context, PrinterSession& session) override;

private:
    std::vector<uint8_t> m_bytes; // what Prepare read, for Run to send
    bool m_json = false;
};

class TestPrintCommand final : public PrinterCommand {
public:
    const char* Name() const override { return "test-print"; }
    const char* Summary() const override { return "print the Command Test Editor's test string"; }
    const char* Description() const override;

protected:
    int Run(CommandContext& context, PrinterSession& session) override;
};

class HexToBinCommand final : public Command {
public:
    const char* Name() const override { return "hex-to-bin"; }
    const char* Summary() const override { return "hexadecimal command text to bytes (no printer needed)"; }
    const char* Description() const override;
    const char* Operands() const override { return "[TEXT]"; }
    bool NeedsPrinter() const override { return false; }
    int Execute(CommandContext& context) override;
};

class BinToHexCommand final : public Command {
public:
    const char* Name() const override { return "bin-to-hex"; }
    const char* Summary() const override { return "a command file as hexadecimal text (no printer needed)"; }
    const char* Description() const override;
    const char* Operands() const override { return "[FILE]"; }
    bool NeedsPrinter() const override { return false; }
    int Execute(CommandContext& context) override;
};

} // namespace kalo::cli
