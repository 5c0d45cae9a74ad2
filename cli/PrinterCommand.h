#pragma once

#include "Command.h"
#include "PrinterSession.h"

namespace kalo::cli {

// A command that works on the printer: its arguments are taken first, so a
// usage refusal or an unreadable file costs no exchange and leaves the
// spooler alone; then the session is opened (the reason printed when it
// cannot be) and the command runs on it.
class PrinterCommand : public Command {
public:
    int Execute(CommandContext& context) final;

protected:
    // What Prepare returns to go on to the printer; any other value is the
    // exit status the command ends with there.
    static constexpr int kOpenPrinter = -1;

    // Takes the command's options and operands and reads what it needs
    // before the printer. The default takes none.
    virtual int Prepare(CommandContext& context);
    // Runs with the port open and the printer identified.
    virtual int Run(CommandContext& context, PrinterSession& session) = 0;
};

} // namespace kalo::cli
