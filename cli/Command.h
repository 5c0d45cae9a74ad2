#pragma once

#include "ConnectionOptions.h"
#include "cli/options/Option.h"
#include "connect/CRegistryKey.h"
#include "platform/Platform.h"
#include "platform/Spooler.h"
#include "port/Pace.h"

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace kalo::cli {

// kExitDifferent: diff found the two sides differ.
// kExitAttention, kExitCannotPrint: status found the printer needing
// attention soon, or unable to print.
enum ExitStatus {
    kExitOk = 0,
    kExitFailed = 1,
    kExitUsage = 2,
    kExitDifferent = 3,
    kExitAttention = 4,
    kExitCannotPrint = 5,
};

// Every exit status kaloctl gives, with what it means: --help prints this
// table, and the package check finds each code in kaloctl(1).
struct ExitStatusMeaning {
    const char* codes;
    const char* meaning;
};
inline constexpr ExitStatusMeaning kExitStatuses[] = {
    {"0", "done"},
    {"1", "failed: the printer refused, the port failed, a reply was missing, a write was cut short or "
          "the output could not be written; status: no answer, the state not read whole, or the port busy"},
    {"2", "usage error (nothing was opened), or the trace file could not be written"},
    {"3", "diff found a difference"},
    {"4", "status: the printer prints but needs attention soon (paper near end); fleet status: one does, and "
          "none failed or cannot print"},
    {"5", "status: the printer cannot print (paper out, cover open, off line, an error); fleet status: one "
          "cannot, and none failed"},
    {"129, 130, 143", "interrupted by SIGHUP, Ctrl+C (SIGINT), SIGTERM; a printer in user-setting mode is "
                      "taken out of it first, and nothing is printed on standard output"},
};

// The shell's way: 128 and the number of the signal that interrupted (130
// for Ctrl+C, 143 for a termination, 129 for a hang-up).
inline int InterruptedExitStatus(int signal)
{
    return 128 + signal;
}

// What a command runs with: its own options and operands as they were given
// (kaloctl's own options read out), the connection, the streams to write to and the platform.
struct CommandContext {
    std::vector<std::string> args;
    ConnectionOptions connection;
    std::ostream& out;
    std::ostream& err;
    platform::Platform& platform;
    platform::Spooler& spooler;
    const CRegistryKey& registry;
    std::istream* in = nullptr; // standard input, for the commands that read it
    // Standard output as it goes, for a command that reports while it runs;
    // null where only out is there.
    std::ostream* live = nullptr;
    // Whether a connection option named the printer; no port is guessed.
    bool printerNamed = true;
    // --quiet: errors and the output asked for, nothing else on standard error.
    bool quiet = false;
    // --pace, else KALO_PACE's: every printer session's, and a fleet's children's.
    Pace pace = Pace::Fixed;
    // Where progress may be drawn: standard error when it is a terminal and
    // kaloctl is not asked to be quiet.
    bool ProgressShown() const;
};

class Command {
public:
    virtual ~Command() = default;
    virtual const char* Name() const = 0;
    virtual const char* Summary() const = 0;
    // What --help says the command does, before its options.
    virtual const char* Description() const = 0;
    // The command's own options, from its table.
    virtual std::vector<const OptionInfo*> Options() const { return {}; }
    // What follows the command on its usage line ("FILE.sts"); empty for
    // none; an operand in brackets ("[FILE]") may be left out.
    virtual const char* Operands() const { return ""; }
    virtual bool NeedsPrinter() const { return true; }
    // Whether its exchanges go to --trace: a command that names its printers
    // otherwise (watch's targets file) still talks to them itself.
    virtual bool Traced() const { return NeedsPrinter(); }
    virtual int Execute(CommandContext& context) = 0;

    // The usage line and the help built from the table.
    void PrintHelp(std::ostream& out) const;

protected:
    // Takes the command's options from context.args into target; the
    // operands, as many as Operands() names, are left in context.args.
    // Prints the refusal and gives false when something does not fit.
    template <class Target>
    bool TakeArguments(CommandContext& context, const OptionTable<Target>& table, Target& target) const
    {
        std::string error;
        if (!TakeOptions(table, context.args, target, error))
            return Refuse(context, error);
        return CheckOperands(context);
    }
    bool TakeArguments(CommandContext& context) const
    {
        struct Nothing {};
        Nothing nothing;
        return TakeArguments(context, OptionTable<Nothing>{}, nothing);
    }

    // Prints a usage refusal; always false.
    bool Refuse(CommandContext& context, const std::string& error) const;

private:
    bool CheckOperands(CommandContext& context) const;
};

} // namespace kalo::cli
