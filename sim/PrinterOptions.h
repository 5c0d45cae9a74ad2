#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace kalo::sim {

// What the printer's sensors and mechanism say, as the real-time status
// requests (DLE EOT 1-4) report it.
struct PrinterState {
    bool paperNearEnd = false;
    bool paperOut = false;
    bool coverOpen = false;
    // Taken off line by itself; paper out, an open cover and any error take
    // the printer off line too, without this.
    bool offline = false;
    bool cutterError = false;
    bool unrecoverableError = false;
    bool autoRecoverableError = false;
    bool drawerHigh = false; // the drawer connector's pin 3
};

// What the virtual printer is and how it misbehaves.
struct PrinterOptions {
    std::string model = "TLR-740plusII";
    std::string maker = "KEMTRAN";
    std::string firmware = "V1.02 SIM";
    std::string language = "ENGLISH";
    // Memory switches 1..6, 11, 12 in that order; bit p-1 is pin p.
    uint8_t switches[8] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    bool powerSave = false;
    uint8_t entranceTime = 30;

    // Fault modes.
    bool silent = false;     // answers nothing
    bool wrongId = false;    // GS I 3 answers 0x62
    bool noise = false;      // sends non-zero bytes without end
    bool dsrLow = false;     // the in-process serial line reports DSR low
    uint32_t slowDelayMs = 0; // before each reply
    // Above slowDelayMs, each reply's delay is drawn anew from slowDelayMs..this.
    uint32_t slowDelayMaxMs = 0;
    uint32_t slowGapMs = 0;   // between the bytes of a reply
    // Reply number (the first reply the printer sends is 1) -> ms after its
    // query that reply starts, instead of after the usual delay.
    std::map<uint64_t, uint32_t> lateReplies;
    int64_t closeAfter = -1;  // hang up after this many received bytes
    // Seeds every draw (drawn delays, garbage's bytes), so a failing run can be replayed.
    uint32_t seed = 0;
    // Answers every query with 0..kGarbageMaxBytes random bytes, drawn from
    // garbageSeed when given (garbage=SEED), else from seed.
    bool garbage = false;
    std::optional<uint32_t> garbageSeed;
    // Pins that ignore writes and keep their value: bit p-1 of a slot is pin p.
    uint8_t stuckPins[8] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

    // The state at start; with stateFile, the state the file's words give,
    // read again before each real-time answer, while it can be read.
    PrinterState state;
    std::string stateFile;

    static constexpr uint32_t kSlowDelayMs = 300;
    static constexpr uint32_t kSlowGapMs = 20;
    static constexpr uint32_t kMaxDelayMs = 60000; // for --slow-delay, --slow-gap and late
    static constexpr uint32_t kGarbageMaxBytes = 40;
    static constexpr const char* kWrongMaker = "ACME";
    static constexpr const char* kWrongModel = "RP-F10";
};

// The switch slot (0..7) of a printer switch number (1..6, 11, 12), or -1.
int SwitchSlot(int switchNumber);

// Applies "--fault NAME" to the options; false with a reason for an unknown name.
bool ApplyFault(const std::string& name, PrinterOptions& options, std::string& error);

// Applies --slow-delay's "MIN[-MAX]" (milliseconds); false with a reason.
bool ApplySlowDelay(const std::string& text, PrinterOptions& options, std::string& error);

// Adds the state words in text (comma, space or newline separated: ready,
// paper-near-end, paper-out, cover-open, offline, error=cutter,
// error=unrecoverable, error=auto, drawer-high) to state; false naming the
// first word it does not know.
bool ApplyState(const std::string& text, PrinterState& state, std::string& error);

// Applies "N=BBBBBBBB" (switch number, then pin 8 down to pin 1 as 0/1).
bool ApplySwitch(const std::string& text, PrinterOptions& options, std::string& error);

} // namespace kalo::sim
