// Check Communication against a printer that answers anything at all: the
// input's first byte picks the interface, the rest are the replies.
#include "ReplyScript.h"
#include "app/PrinterIdentification.h"

using namespace kalo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    sim::InProcessPlatform machine;
    const fuzz::ScriptedLink link = fuzz::PickLink(data[0], machine);
    fuzz::ReplyScript script(data + 1, size - 1);
    script.AnswerOn(machine);
    CPrinterPort port(machine);
    ConnectPrinter(port, link.settings, link.kind, machine.Clock());
    port.Close();
    return 0;
}
