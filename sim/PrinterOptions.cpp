#include "PrinterOptions.h"

#include <cstdlib>

namespace kalo::sim {

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
        options.slowDelayMs = PrinterOptions::kSlowDelayMs;
        options.slowGapMs = PrinterOptions::kSlowGapMs;
    } else if (name == "dsr-low") {
        options.dsrLow = true;
    } else if (name.rfind("garbage=", 0) == 0) {
        const std::string seed = name.substr(8);
        char* end = nullptr;
        const unsigned long long n = std::strtoull(seed.c_str(), &end, 10);
        if (seed.empty() || *end != '\0' || seed[0] == '-' || n > UINT32_MAX) {
            error = "garbage needs a seed from 0 to 4294967295: " + name;
            return false;
        }
        options.garbageSeed = uint32_t(n);
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
