// The Printer Status window's exchanges against a printer that answers
// anything at all: the input's first byte picks the interface, the rest are
// the replies. Get Status, then Set Status with what it read.
#include "ReplyScript.h"
#include "status/StatusExchange.h"

#include <algorithm>
#include "FuzzTarget.h"

using namespace kalo;

namespace {

// What Get Status reports must match what it left in the record, and Set
// Status must not write back what the printer never told.
bool Consistent(const StatusReadReport& report, const StatusRecord& record, const PrinterFacts& facts)
{
    for (int slot = 0; slot < 8; ++slot) {
        const auto& missing = report.missingSwitches;
        const bool answered = std::find(missing.begin(), missing.end(), kSwitchNumbers[slot]) == missing.end();
        for (int pin = 1; pin <= 8; ++pin) {
            const int32_t state = record.switchPins[slot][pin];
            if (answered ? state != PinOn && state != PinOff : state != PinNoChange)
                return false;
        }
    }
    return report.powerSaveMissing == facts.powerSaveUnanswered;
}

bool WrotePowerSave(const sim::InProcessLink& link, size_t from)
{
    const auto command = cmd::PowerSaveWrite(false, 0);
    const auto& written = link.Written();
    return std::any_of(written.begin() + long(from), written.end(), [&command](const auto& chunk) {
        return chunk.bytes.size() >= 4 && std::equal(command.begin(), command.begin() + 4, chunk.bytes.begin());
    });
}

} // namespace

void kalo::fuzz::Fuzz(const uint8_t* data, size_t size)
{
    if (size == 0)
        return;
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
        const StatusReadReport report = exchange.ReadStatus();
        AbortIf(!Consistent(report, record, facts));
        const size_t mark = machine.lastLink->Written().size();
        exchange.WriteStatus();
        AbortIf(report.powerSaveMissing && WrotePowerSave(*machine.lastLink, mark));
    }
    port.Close();
}
