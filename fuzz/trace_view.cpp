// A trace file, or a virtual printer's wire log, through trace-view; the
// same bytes as sent commands through the name table.
#include "cli/TraceViewCommand.h"
#include "port/PrinterCommands.h"

#include "FuzzTarget.h"

using namespace kalo;

void kalo::fuzz::Fuzz(const uint8_t* data, size_t size)
{
    const std::string view = cli::ViewTrace(Text(data, size));
    AbortIf(view.rfind("      ms     gap  what\n", 0) != 0);
    // A command is named only when it is there whole, and never with an empty name.
    for (size_t at = 0; at < size;) {
        const cmd::CommandName command = cmd::NameCommand(data + at, size - at);
        AbortIf(command.length > size - at || (command.length > 0) == command.name.empty());
        cmd::DescribeReply(command.name, data + at, size - at);
        at += command.length > 0 ? command.length : 1;
    }
}
