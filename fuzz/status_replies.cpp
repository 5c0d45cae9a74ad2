// The Printer Status window's exchanges against a printer that answers
// anything at all: the input's first byte picks the interface, the rest are
// the replies. Get Status, then Set Status with what it read.
#include "ReplyScript.h"
#include "status/StatusExchange.h"

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
    port.Configure(link.settings);
    port.Open();
    ProgressState progress;
    StatusRecord record;
    PrinterFacts facts;
    StatusExchange exchange({port, link.kind, machine.Clock(), machine.Messages(), progress, record, facts, nullptr});
    if (exchange.CheckPrinter()) {
        exchange.ReadStatus();
        exchange.WriteStatus();
    }
    port.Close();
    return 0;
}
