#include "WriteReport.h"

namespace kalo {

bool WentOutWhole(const CPrinterPort& port)
{
    return !port.Tally().CutShort() && !port.LinkLost();
}

std::string StoppedWriteMessage(WriteOperation operation, const CPrinterPort::WriteTally& tally, RepeatBy repeat)
{
    struct Wording {
        const char* name;
        const char* doubt;
        const char* command;
    };
    Wording wording{"Set Status", "the printer may not hold the new status", "set-status"};
    const char* remedy = "Check the printer and ";
    switch (operation) {
    case WriteOperation::SetStatus: break;
    case WriteOperation::SetStatusInUserSetting:
        // The mode lasts until the exit command or a restart, and the printer
        // prints nothing while in it.
        wording.doubt = "the printer may still be in user-setting mode and may not hold the new status";
        remedy = "Switch the printer off and on, then ";
        break;
    case WriteOperation::PrintStatus:
        wording = {"Print Status", "the printer may not print its status sheet", "print-status"};
        break;
    case WriteOperation::PrintCodepage:
        wording = {"Print Codepage", "the printer may not print its code page sheet", "print-codepage"};
        break;
    case WriteOperation::SelfTest: wording = {"Self Test", "the printer may not print its test page", "self-test"}; break;
    case WriteOperation::WriteCommand:
        wording = {"Write Command", "the printer may not have the whole command", "send"};
        break;
    case WriteOperation::PrintTestString:
        wording = {"Print Test String", "the printer may not print the test string", "test-print"};
        break;
    }
    const std::string again =
        repeat == RepeatBy::Button ? std::string("press ") + wording.name : std::string("run kaloctl ") + wording.command;
    return std::string(wording.name) + " stopped after " + std::to_string(tally.written) + " of "
        + std::to_string(tally.requested) + " bytes: " + wording.doubt + ". " + remedy + again + " again.";
}

} // namespace kalo
