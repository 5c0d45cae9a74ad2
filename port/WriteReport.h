#pragma once

#include "CPrinterPort.h"

#include <string>

namespace kalo {

// The operations whose writes, cut short, leave the printer in doubt.
enum class WriteOperation {
    SetStatus,
    // Set Status whose writes stopped after the entry into user-setting
    // mode went out, so the exit may not have reached the printer.
    SetStatusInUserSetting,
    PrintStatus,
    PrintCodepage,
    SelfTest,
    WriteCommand,
    PrintTestString,
};

// True when every write since the tally was last reset went out whole and
// the printer is still there.
bool WentOutWhole(const CPrinterPort& port);

// How the technician starts the operation again: the window's button, or
// kaloctl's command (the window's wording names a button kaloctl has not).
enum class RepeatBy { Button, Command };

// What to tell the technician when an operation's writes did not all go
// out: how far it got, what may be wrong now, and what to do.
std::string StoppedWriteMessage(WriteOperation operation, const CPrinterPort::WriteTally& tally,
                                RepeatBy repeat = RepeatBy::Button);

} // namespace kalo
