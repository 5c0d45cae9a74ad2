#include "PrinterOptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <utility>

namespace kalo::sim {

namespace {
// A decimal number from 0 to max and nothing else: no sign, no spaces.
bool ParseCount(const std::string& text, uint64_t max, uint64_t& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text.c_str(), &end, 10);
    return !text.empty() && text[0] >= '0' && text[0] <= '9' && *end == '\0' && errno == 0 && value <= max;
}
} // namespace

int SwitchSlot(int switchNumber)
{
    static const int kNumbers[8] = {1, 2, 3, 4, 5, 6, 11, 12};
    for (int slot = 0; slot < 8; ++slot) {
        if (kNumbers[slot] == switchNumber)
            return slot;
    }
    return -1;
}

bool ApplyFault(const std::string& name, PrinterOptions& options, std::string& error)
{
    if (name == "silent") {
        options.silent = true;
    } else if (name == "wrong-maker") {
        options.maker = PrinterOptions::kWrongMaker;
    } else if (name == "wrong-model") {
        options.model = PrinterOptions::kWrongModel;
    } else if (name == "wrong-id") {
        options.wrongId = true;
    } else if (name == "noise") {
        options.noise = true;
    } else if (name == "slow") {
        options.slowDelayMs = options.slowDelayMaxMs = PrinterOptions::kSlowDelayMs;
        options.slowGapMs = PrinterOptions::kSlowGapMs;
    } else if (name == "dsr-low") {
        options.dsrLow = true;
    } else if (name == "garbage") {
        options.garbage = true;
    } else if (name.rfind("garbage=", 0) == 0) {
        uint64_t n = 0;
        if (!ParseCount(name.substr(8), UINT32_MAX, n)) {
            error = "garbage needs a seed from 0 to 4294967295: " + name;
            return false;
        }
        options.garbage = true;
        options.garbageSeed = uint32_t(n);
    } else if (name.rfind("late=", 0) == 0) {
        const std::string what = name.substr(5);
        const size_t colon = what.find(':');
        uint64_t reply = 0, ms = 0;
        if (colon == std::string::npos || !ParseCount(what.substr(0, colon), UINT64_MAX, reply) || reply == 0
            || !ParseCount(what.substr(colon + 1), PrinterOptions::kMaxDelayMs, ms)) {
            error = "late needs N:MS (the N-th reply, from 1; MS 0-60000): " + name;
            return false;
        }
        options.lateReplies[reply] = uint32_t(ms);
    } else if (name.rfind("close-after=", 0) == 0) {
        const std::string count = name.substr(12);
        char* end = nullptr;
        const long long n = std::strtoll(count.c_str(), &end, 10);
        if (count.empty() || *end != '\0' || n < 0) {
            error = "close-after needs a byte count: " + name;
            return false;
        }
        options.closeAfter = n;
    } else if (name.rfind("stuck=", 0) == 0) {
        const std::string where = name.substr(6);
        const size_t colon = where.find(':');
        const std::string number = where.substr(0, colon);
        const std::string pin = colon == std::string::npos ? std::string() : where.substr(colon + 1);
        char* end = nullptr;
        const long n = std::strtol(number.c_str(), &end, 10);
        const int slot = number.empty() || *end != '\0' ? -1 : SwitchSlot(int(n));
        if (slot < 0 || pin.size() != 1 || pin[0] < '1' || pin[0] > '8') {
            error = "stuck needs SWITCH:PIN (SWITCH one of 1-6, 11, 12; PIN 1-8): " + name;
            return false;
        }
        options.stuckPins[slot] |= uint8_t(1u << (pin[0] - '1'));
    } else {
        error = "unknown fault: " + name;
        return false;
    }
    return true;
}

bool ApplySlowDelay(const std::string& text, PrinterOptions& options, std::string& error)
{
    const size_t dash = text.find('-');
    uint64_t low = 0, high = 0;
    if (!ParseCount(text.substr(0, dash), PrinterOptions::kMaxDelayMs, low)
        || !ParseCount(dash == std::string::npos ? text : text.substr(dash + 1), PrinterOptions::kMaxDelayMs, high)
        || low > high) {
        error = "--slow-delay takes MS or MIN-MAX, milliseconds 0-60000, MIN not above MAX: " + text;
        return false;
    }
    options.slowDelayMs = uint32_t(low);
    options.slowDelayMaxMs = uint32_t(high);
    return true;
}

bool ApplyState(const std::string& text, PrinterState& state, std::string& error)
{
    static const std::pair<const char*, bool PrinterState::*> kWords[] = {
        {"paper-near-end", &PrinterState::paperNearEnd},
        {"paper-out", &PrinterState::paperOut},
        {"cover-open", &PrinterState::coverOpen},
        {"offline", &PrinterState::offline},
        {"error=cutter", &PrinterState::cutterError},
        {"error=unrecoverable", &PrinterState::unrecoverableError},
        {"error=auto", &PrinterState::autoRecoverableError},
        {"drawer-high", &PrinterState::drawerHigh},
    };
    static const char kSeparators[] = ", \t\r\n";
    for (size_t at = text.find_first_not_of(kSeparators); at != std::string::npos;
         at = text.find_first_not_of(kSeparators, at)) {
        const size_t end = std::min(text.find_first_of(kSeparators, at), text.size());
        const std::string word = text.substr(at, end - at);
        at = end;
        if (word == "ready")
            continue; // none of the others: adds nothing
        const auto known = std::find_if(std::begin(kWords), std::end(kWords),
                                        [&word](const auto& entry) { return word == entry.first; });
        if (known == std::end(kWords)) {
            error = "unknown state word: " + word
                + " (known: ready, paper-near-end, paper-out, cover-open, offline, error=cutter, "
                  "error=unrecoverable, error=auto, drawer-high)";
            return false;
        }
        state.*(known->second) = true;
    }
    return true;
}

bool ApplySwitch(const std::string& text, PrinterOptions& options, std::string& error)
{
    const size_t eq = text.find('=');
    const std::string number = text.substr(0, eq);
    const std::string bits = eq == std::string::npos ? std::string() : text.substr(eq + 1);
    char* end = nullptr;
    const long n = std::strtol(number.c_str(), &end, 10);
    const int slot = (number.empty() || *end != '\0') ? -1 : SwitchSlot(int(n));
    if (slot < 0 || bits.size() != 8 || bits.find_first_not_of("01") != std::string::npos) {
        error = "a switch is N=BBBBBBBB (N one of 1-6, 11, 12; pin 8 first): " + text;
        return false;
    }
    uint8_t value = 0;
    for (int pin = 8; pin >= 1; --pin) {
        if (bits[size_t(8 - pin)] == '1')
            value |= uint8_t(1u << (pin - 1));
    }
    options.switches[slot] = value;
    return true;
}

} // namespace kalo::sim
