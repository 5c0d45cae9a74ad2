// The Printer Status window's exchanges against a printer that answers
// anything at all: the input's first byte picks the interface, the rest are
// the replies. Get Status, then Set Status with what it read, under both
// paces with the same replies.
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

// Somewhere in the reply to its own query the printer said these pins, in
// the switch reply's layout: the slot was not read out of another reply.
bool FromItsOwnReply(const int32_t* pins, const std::vector<uint8_t>& reply)
{
    for (size_t at = 0; at + 10 <= reply.size(); ++at) {
        bool same = reply[at + 9] == 0x00;
        for (int pin = 1; pin <= 8 && same; ++pin)
            same = reply[at + 9 - size_t(pin)] == (pins[pin] == PinOn ? '1' : '0');
        if (same)
            return true;
    }
    return false;
}

void Run(const uint8_t* data, size_t size, Pace pace)
{
    sim::InProcessPlatform machine;
    const fuzz::ScriptedLink link = fuzz::PickLink(data[0], machine);
    fuzz::ReplyScript script(data + 1, size - 1);
    // A reply longer than this still arrives, at 9600 baud, after the
    // shortest wait for the next one has ended: its tail is a stray byte
    // ahead of the next reply, which only its layout can refuse.
    constexpr size_t kWithinItsWait = 64;
    std::vector<uint8_t> ownReplies[8];
    bool checkable[8] = {};
    bool allShort = true;
    machine.responder = [&](const uint8_t* written, size_t length, std::vector<uint8_t>& reply) {
        script.Answer(reply);
        allShort = allShort && reply.size() <= kWithinItsWait;
        for (int slot = 0; slot < 8; ++slot) {
            const auto query = cmd::SwitchQuery(kSwitchNumbers[slot]);
            if (length == query.size() && std::equal(query.begin(), query.end(), written)) {
                ownReplies[slot] = reply;
                checkable[slot] = allShort;
            }
        }
    };
    CPrinterPort port(machine);
    port.SetPace(pace);
    port.Configure(link.settings);
    port.Open();
    ProgressState progress;
    StatusRecord record;
    PrinterFacts facts;
    StatusExchange exchange({port, link.kind, machine.Clock(), machine.Messages(), progress, record, facts, nullptr});
    if (exchange.CheckPrinter()) {
        const StatusReadReport report = exchange.ReadStatus();
        fuzz::AbortIf(!Consistent(report, record, facts));
        // The reply pace never reads a switch shifted, whatever came before.
        for (int slot = 0; slot < 8 && pace == Pace::Reply; ++slot)
            fuzz::AbortIf(checkable[slot] && record.switchPins[slot][1] != PinNoChange
                    && !FromItsOwnReply(record.switchPins[slot], ownReplies[slot]));
        const size_t mark = machine.lastLink->Written().size();
        exchange.WriteStatus();
        fuzz::AbortIf(report.powerSaveMissing && WrotePowerSave(*machine.lastLink, mark));
    }
    port.Close();
}

} // namespace

void kalo::fuzz::Fuzz(const uint8_t* data, size_t size)
{
    if (size == 0)
        return;
    Run(data, size, Pace::Fixed);
    Run(data, size, Pace::Reply);
}
