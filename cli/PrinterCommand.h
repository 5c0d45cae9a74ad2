#pragma once

#include "Command.h"
#include "connect/PrinterSession.h"
#include "port/WriteReport.h"

#include <memory>

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

// Opens the session on the connection given; prints the reason and gives
// nothing when the printer cannot be used (nothing at all when interrupted:
// the caller says what happened).
// Whether the options name a printer kaloctl can find; says why not (a usage
// error: nothing has been opened).
bool PrinterNamed(CommandContext& context, const char* command);
// identify false: opened as PrinterSession::OpenUnidentified opens it;
// failure, when given, says why nothing was opened.
std::unique_ptr<PrinterSession> OpenPrinterSession(CommandContext& context, bool identify = true,
                                                   SessionFailure* failure = nullptr);

// A write cut short is told with the counts of the whole command: the port's
// tally is never reset here, so they run from the identification on.
int WriteOutcome(CommandContext& context, const CPrinterPort& port, WriteOperation operation);

} // namespace kalo::cli
