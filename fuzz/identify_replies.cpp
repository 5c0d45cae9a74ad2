// Check Communication against a printer that answers anything at all: the
// input's first byte picks the interface, the rest are the replies.
// Whatever they say, a printer that is refused leaves no port open.
#include "ReplyScript.h"
#include "connect/PrinterIdentification.h"

#include "FuzzTarget.h"

using namespace kalo;

void kalo::fuzz::Fuzz(const uint8_t* data, size_t size)
{
    if (size == 0)
        return;
    sim::InProcessPlatform machine;
    const fuzz::ScriptedLink link = fuzz::PickLink(data[0], machine);
    fuzz::ReplyScript script(data + 1, size - 1);
    script.AnswerOn(machine);
    CPrinterPort port(machine);
    const IdentifyResult result = ConnectPrinter(port, link.settings, link.kind, machine.Clock());
    // A refused printer leaves no port open behind it.
    AbortIf(!result.Connected() && machine.openDevices != 0);
    port.Close();
}
