// A trace file, or a virtual printer's wire log, through trace-view; the
// same bytes as sent commands through the name table.
#include "cli/TraceViewCommand.h"
#include "port/PrinterCommands.h"

#include <cstdlib>

using namespace kalo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string view = cli::ViewTrace(std::string(reinterpret_cast<const char*>(data), size));
    if (view.rfind("      ms     gap  what\n", 0) != 0)
        std::abort();
    // A command is named only when it is there whole, and never with an empty name.
    for (size_t at = 0; at < size;) {
        const cmd::CommandName command = cmd::NameCommand(data + at, size - at);
        if (command.length > size - at || (command.length > 0) == command.name.empty())
            std::abort();
        cmd::DescribeReply(command.name, data + at, size - at);
        at += command.length > 0 ? command.length : 1;
    }
    return 0;
}
