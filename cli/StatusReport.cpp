#include "StatusReport.h"

#include "status/Profile.h"

#include "platform/Text.h"
#include "status/MemSwitchForm.h"
#include "status/PrinterSettingForm.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>

namespace kalo::cli {

namespace {

using Form = PrinterSettingForm;

std::string Entry(const std::vector<std::string>& list, int position)
{
    if (position >= 0 && position < int(list.size()))
        return list[size_t(position)];
    return "no entry (" + std::to_string(position) + ")";
}

std::string PinText(int slot, int pin, int32_t state)
{
    const PinDefinition row = MemSwitchForm::Definition(slot + 1, pin);
    std::string text = state >= 0 && state <= 2 ? row.choices[size_t(state)] : "value " + std::to_string(state);
    if (state == PinOn)
        text += " (bit set)";
    else if (state == PinOff)
        text += " (bit clear)";
    return text;
}

// A setting as the status shows it: the key JSON and profiles name it by,
// the caption the text shows, and its list text.
struct SettingShown {
    std::string key;
    std::string caption;
    std::string value;
};

std::vector<SettingShown> Settings(const StatusRecord& r, const std::vector<int>& slots)
{
    using enum ProfileSetting;
    auto shown = [&slots](int slot) { return std::find(slots.begin(), slots.end(), slot) != slots.end(); };
    const std::string notStored = "not in a status file";
    const int d = Form::DoubleByteValue(r);
    const int32_t country = r.switchPins[1][1];
    std::string doubleByte;
    switch (d) {
    case 0: doubleByte = Form::kDoubleByteFonts[1]; break;
    case 1: doubleByte = Form::kDoubleByteFonts[2]; break;
    case 2: doubleByte = Form::kDoubleByteFonts[3] + " / " + Form::kDoubleByteFonts[4] + " / " + Form::kDoubleByteFonts[5]; break;
    case 3: doubleByte = Form::kDoubleByteFonts[6]; break;
    default: doubleByte = "value " + std::to_string(d); break;
    }
    const int speed = Form::ReadPrintSpeed(r);
    const int page = Form::ReadCodePage(r);
    return {
        {SettingKey(PrintSpeed), "Print speed", speed < 0 ? Form::kPrintSpeeds[0] : Entry(Form::kPrintSpeeds, speed)},
        {"country", "Country", country == PinOn ? "Double byte Country" : country == PinOff ? "Single byte Country" : "No Change"},
        {SettingKey(CodePage), "Default code page", d >= 1 && d <= 3 ? Form::kCodePages[0] : page < 0 ? Form::kCodePages[0] : Entry(Form::kCodePages, page)},
        {SettingKey(DoubleByteFont), "Double-byte font", doubleByte},
        {SettingKey(Emulation), "Emulation", shown(2) ? Entry(Form::kEmulations, Form::ReadEmulation(r)) : notStored},
        {SettingKey(SingleByteFont), "Single-byte font", shown(3) ? Entry(Form::kSingleByteFonts, Form::ReadSingleByteFont(r)) : notStored},
    };
}

bool PowerSaveUnknown(const StatusReadReport* report)
{
    return report && report->powerSaveMissing;
}

} // namespace

Json UsbIdNumber(const std::string& hex)
{
    char* end = nullptr;
    const long number = hex.empty() ? -1 : std::strtol(hex.c_str(), &end, 16);
    return number >= 0 && end && *end == '\0' ? Json(number) : Json(nullptr);
}

void PrintJson(std::ostream& out, const Json& document)
{
    out << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

namespace {

// A pin a setting holds is labelled, on the memory-switch page, with where
// the window sets it; kaloctl names its own option instead.
std::string PinLabel(int slot, int pin)
{
    static const std::pair<const char*, const char*> kOwnWords[] = {
        {"Print Speed (Set in Printer Setting Tab)", "Print Speed (set with --print-speed)"},
        {"Codepage(Set in Printer Setting Tab)", "Codepage (set with --code-page)"},
        {"Select Emulation (Set in Printer Setting Tab)", "Select Emulation (set with --emulation)"},
        {"Single byte Font election(Set in Printer Setting Tab)",
         "Single byte Font election (set with --single-byte-font)"},
    };
    const std::string label = MemSwitchForm::Definition(slot + 1, pin).label;
    for (const auto& [window, own] : kOwnWords) {
        if (label == window)
            return own;
    }
    return label;
}

} // namespace

void PrintStatusText(std::ostream& out, const StatusRecord& record, const PrinterFacts* facts,
                     const std::vector<int>& slots, const StatusReadReport* report)
{
    if (facts) {
        out << "Printer Model : " << platform::Printable(facts->modelName) << '\n'
            << "Firmware Version : " << platform::Printable(facts->firmwareVersion) << '\n'
            << "Language : " << platform::Printable(facts->language) << '\n';
    }
    for (int slot : slots) {
        out << "Memory switch " << int(kSwitchNumbers[slot]) << '\n';
        for (int pin = 1; pin <= 8; ++pin) {
            out << "  pin " << pin << "  " << PinLabel(slot, pin) << ": "
                << PinText(slot, pin, record.switchPins[slot][pin]) << '\n';
        }
    }
    for (const SettingShown& setting : Settings(record, slots))
        out << setting.caption << ": " << setting.value << '\n';
    if (facts && PowerSaveUnknown(report)) {
        out << "Power save: no answer\nEntrance time: no answer\n";
    } else if (facts) {
        out << "Power save: " << (facts->powerSaveMode == 0 ? "Disable" : "Enable") << '\n'
            << "Entrance time: " << facts->entranceTime << " s\n";
    } else {
        out << "Double-byte font choice: " << Entry(Form::kDoubleByteFonts, record.doubleByteFontIndex) << '\n';
    }
}

void PrintStatusJson(std::ostream& out, const StatusRecord& record, const PrinterFacts* facts,
                     const std::vector<int>& slots, const StatusReadReport* report)
{
    Json document = Json::object();
    if (facts) {
        const bool unknown = PowerSaveUnknown(report);
        document["model"] = facts->modelName;
        document["firmware"] = facts->firmwareVersion;
        document["language"] = facts->language;
        document["powerSave"] = unknown ? Json() : Json(facts->powerSaveMode != 0);
        document["entranceTime"] = unknown ? Json() : Json(facts->entranceTime);
    }
    if (report) {
        Json missing = Json::array();
        for (const int number : report->missingSwitches)
            missing.push_back(number);
        if (report->powerSaveMissing)
            missing.push_back("powerSave");
        document["missing"] = missing;
    }
    Json switches = Json::object();
    for (const int slot : slots) {
        Json pins = Json::array();
        for (int pin = 1; pin <= 8; ++pin) {
            const int32_t state = record.switchPins[slot][pin];
            pins.push_back({{"pin", pin},
                            {"state", state == PinOn ? "on" : state == PinOff ? "off" : state == PinNoChange ? "keep" : "invalid"},
                            {"value", state},
                            {"text", PinText(slot, pin, state)}});
        }
        switches[std::to_string(kSwitchNumbers[slot])] = pins;
    }
    document["switches"] = switches;
    Json settings = Json::object();
    for (const SettingShown& setting : Settings(record, slots))
        settings[setting.key] = setting.value;
    document["settings"] = settings;
    document["doubleByteFontIndex"] = record.doubleByteFontIndex;
    PrintJson(out, document);
}

std::string DifferenceText(const StatusDifference& d)
{
    const std::string where = d.slot >= 0 ? "switch " + std::to_string(int(kSwitchNumbers[d.slot])) + " pin "
            + std::to_string(d.pin) + " (" + PinLabel(d.slot, d.pin) + ")"
                                          : d.setting;
    return where + ": " + d.from + " -> " + d.to;
}

void PrintDifferences(std::ostream& out, const std::vector<StatusDifference>& differences)
{
    for (const StatusDifference& d : differences)
        out << DifferenceText(d) << '\n';
}

Json DifferencesJson(const std::vector<StatusDifference>& differences)
{
    Json list = Json::array();
    for (const StatusDifference& d : differences) {
        if (d.slot >= 0)
            list.push_back({{"switch", int(kSwitchNumbers[d.slot])}, {"pin", d.pin},
                            {"label", PinLabel(d.slot, d.pin)}, {"from", d.from}, {"to", d.to}});
        else
            list.push_back({{"setting", d.setting}, {"from", d.from}, {"to", d.to}});
    }
    return list;
}

} // namespace kalo::cli
