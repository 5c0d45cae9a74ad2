#include "sim/InProcessPlatform.h"
#include "status/StatusApply.h"

#include <gtest/gtest.h>

using namespace kalo;
using Printer = void (*)(sim::PrinterOptions&);

// Pin 1 of switch 1 is asked on of a printer whose pins are all off: what
// the outcome says, what the printer holds after, and whether the font follows.
TEST(StatusApply, OutcomeAndWhatThePrinterHolds)
{
    enum Flag { ReadFirst = 1, DryRun = 2, Verify = 4, Font = 8, KeepPowerSave = 16 };
    const struct { // what the message begins with
        const char *name; Printer printer; int flags; StatusApplyEnd end; uint8_t switch1After; const char* message;
    } rows[] = {
        {"DryRun", [](auto&) {}, DryRun, StatusApplyEnd::Unchanged, 0, "Set Status would change the above; nothing"},
        {"Held", [](auto& o) { o.switches[0] = 1; }, ReadFirst, StatusApplyEnd::Unchanged, 1, "The printer already"},
        {"Differs", [](auto&) {}, ReadFirst | Verify, StatusApplyEnd::Written, 1, "Success to set status of printer;"},
        {"StuckPin", [](auto& o) { o.stuckPins[0] = 1; }, Verify, StatusApplyEnd::NotTaken, 0, "switch 1 pin 1 did"},
        {"Silent", [](auto& o) { o.silent = true; }, ReadFirst, StatusApplyEnd::NotRead, 0, "the printer did not"},
        {"KeptTime", [](auto& o) { o.entranceTime = 5; }, KeepPowerSave, StatusApplyEnd::EntranceTimeRefused, 0,
         "Enterance time should be from 6 to 255."},
        {"FontAfterWrite", [](auto&) {}, Font, StatusApplyEnd::Written, 1, "Success to set status of printer"},
        {"NoFontAfterStop", [](auto& o) { o.closeAfter = 150; }, Font, StatusApplyEnd::WriteStopped, 1, "Set Status"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sim::PrinterOptions options;
        row.printer(options);
        sim::InProcessPlatform machine(options);
        CPrinterPort port(machine);
        port.Configure(NetworkPortSettings(machine.networkHost, machine.networkPort));
        port.Open();
        ProgressState progress;
        StatusRun run(port, PortKind::Ethernet, machine.Clock(), machine.Messages(), progress);
        StatusApplyRequest request{{}, (row.flags & ReadFirst) != 0, (row.flags & DryRun) != 0,
                                   (row.flags & Verify) != 0, row.flags & Font ? 3 : 0};
        request.asked.record.switchPins[0][1] = PinOn;
        if (!(row.flags & KeepPowerSave))
            request.asked.powerSave = false, request.asked.entranceTime = 30;
        const StatusApplyOutcome outcome = ApplyStatus(run, request);
        EXPECT_EQ(outcome.end, row.end);
        EXPECT_EQ(outcome.message.rfind(row.message, 0), 0u) << outcome.message;
        EXPECT_EQ(machine.Printer().SwitchBits(0), row.switch1After);
        EXPECT_EQ(outcome.downloadFont, (row.flags & Font) && row.end == StatusApplyEnd::Written);
    }
}
