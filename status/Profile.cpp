#include "Profile.h"

#include "MemSwitchForm.h"
#include "PrinterSettingForm.h"
#include "port/CodePageTable.h"

namespace kalo {

namespace {

using Form = PrinterSettingForm;

// The pins (slot, first pin, last pin) each setting reads.
struct PinSpan {
    int slot, first, last;
};

std::vector<PinSpan> PinsRead(ProfileSetting setting)
{
    switch (setting) {
    case ProfileSetting::DoubleByteFont: return {{7, 1, 8}};
    case ProfileSetting::CodePage: return {{1, 3, 8}, {7, 1, 8}};
    case ProfileSetting::Emulation: return {{2, 1, 3}};
    case ProfileSetting::PrintSpeed: return {{0, 1, 3}};
    case ProfileSetting::SingleByteFont: return {{3, 3, 4}};
    }
    return {};
}

bool Definite(int32_t state)
{
    return state == PinOn || state == PinOff;
}

std::optional<std::string> Entry(const std::vector<std::string>& list, int position)
{
    if (position >= 1 && position < int(list.size()))
        return list[size_t(position)];
    return std::nullopt;
}

const char* OnOff(bool on)
{
    return on ? "on" : "off";
}

void Apply(Form& form, ProfileSetting setting, int position)
{
    switch (setting) {
    case ProfileSetting::DoubleByteFont: form.OnDoubleByteFont(position); break;
    case ProfileSetting::CodePage: form.OnCodePage(position); break;
    case ProfileSetting::Emulation: form.OnEmulation(position); break;
    case ProfileSetting::PrintSpeed: form.OnPrintSpeed(position); break;
    case ProfileSetting::SingleByteFont: form.OnSingleByteFont(position); break;
    }
}

} // namespace

const char* SettingKey(ProfileSetting setting)
{
    switch (setting) {
    case ProfileSetting::DoubleByteFont: return "double-byte-font";
    case ProfileSetting::CodePage: return "code-page";
    case ProfileSetting::Emulation: return "emulation";
    case ProfileSetting::PrintSpeed: return "print-speed";
    case ProfileSetting::SingleByteFont: return "single-byte-font";
    }
    return "";
}

const std::vector<std::string>& SettingList(ProfileSetting setting)
{
    switch (setting) {
    case ProfileSetting::DoubleByteFont: return Form::kDoubleByteFonts;
    case ProfileSetting::CodePage: return Form::kCodePages;
    case ProfileSetting::Emulation: return Form::kEmulations;
    case ProfileSetting::PrintSpeed: return Form::kPrintSpeeds;
    case ProfileSetting::SingleByteFont: return Form::kSingleByteFonts;
    }
    return Form::kEmulations;
}

StatusTarget ResolveProfile(const Profile& profile)
{
    StatusTarget target;
    Form form;
    form.EditWithoutStatus(target.record);
    for (const ProfileSetting setting : kProfileSettings) {
        if (const auto& position = profile.settings[int(setting)])
            Apply(form, setting, *position);
    }
    // The choice sets pins only; a download is download-font's to send.
    target.record.doubleByteFontIndex = 0;
    for (int slot = 0; slot < 8; ++slot) {
        for (int pin = 1; pin <= 8; ++pin) {
            if (const int32_t state = profile.switches.switchPins[slot][pin]; Definite(state))
                target.record.switchPins[slot][pin] = state;
        }
    }
    target.powerSave = profile.powerSave;
    target.entranceTime = profile.entranceTime;
    return target;
}

std::optional<std::string> SettingText(const StatusRecord& r, ProfileSetting setting)
{
    for (const PinSpan& span : PinsRead(setting)) {
        for (int pin = span.first; pin <= span.last; ++pin) {
            if (!Definite(r.switchPins[span.slot][pin]))
                return std::nullopt;
        }
    }
    const int d = Form::DoubleByteValue(r);
    switch (setting) {
    case ProfileSetting::DoubleByteFont: {
        // Value 2 is three fonts' (they differ in the image downloaded only): the first names it.
        static const int kPositions[4] = {1, 2, 3, 6};
        return d >= 0 && d <= 3 ? std::optional(Form::kDoubleByteFonts[size_t(kPositions[d])]) : std::nullopt;
    }
    case ProfileSetting::CodePage:
        // A double-byte font leaves the code page unchosen, as the page's disabled list does.
        return d >= 1 && d <= 3 ? std::nullopt : Entry(Form::kCodePages, Form::CodePageOfPins(r));
    case ProfileSetting::Emulation: return Entry(Form::kEmulations, Form::ReadEmulation(r));
    case ProfileSetting::PrintSpeed: return Entry(Form::kPrintSpeeds, Form::ReadPrintSpeed(r));
    case ProfileSetting::SingleByteFont: return Entry(Form::kSingleByteFonts, Form::ReadSingleByteFont(r));
    }
    return std::nullopt;
}

Profile PrinterProfile(const StatusRecord& record, const PrinterFacts& facts)
{
    Profile profile;
    for (int slot = 0; slot < 8; ++slot) {
        for (int pin = 1; pin <= 8; ++pin)
            profile.switches.switchPins[slot][pin] = record.switchPins[slot][pin] == PinOn ? PinOn : PinOff;
    }
    for (const ProfileSetting setting : kProfileSettings) {
        if (const auto text = SettingText(profile.switches, setting)) {
            const auto& list = SettingList(setting);
            for (size_t position = 0; position < list.size(); ++position) {
                if (list[position] == *text)
                    profile.settings[int(setting)] = int(position);
            }
        }
    }
    if (!facts.powerSaveUnanswered) {
        profile.powerSave = facts.powerSaveMode != 0;
        // A time the printer would not take back is left out: kept, not refused.
        if (facts.entranceTime >= Form::kEntranceTimeMin && facts.entranceTime <= Form::kEntranceTimeMax)
            profile.entranceTime = facts.entranceTime;
    }
    profile.model = facts.modelName;
    profile.firmware = facts.firmwareVersion;
    profile.language = facts.language;
    return profile;
}

Profile StatusFileProfile(const StatusRecord& record)
{
    Profile profile;
    for (const int slot : {0, 1, 6, 7}) {
        for (int pin = 1; pin <= 8; ++pin) {
            // Anything but on or off goes out as "keep", as Set Status sends it.
            const int32_t state = record.switchPins[slot][pin];
            profile.switches.switchPins[slot][pin] = Definite(state) ? state : PinNoChange;
        }
    }
    return profile;
}

std::vector<StatusDifference> Differences(const StatusTarget& from, const StatusTarget& to)
{
    std::vector<StatusDifference> differences;
    for (int slot = 0; slot < 8; ++slot) {
        for (int pin = 1; pin <= 8; ++pin) {
            const int32_t a = from.record.switchPins[slot][pin], b = to.record.switchPins[slot][pin];
            if (Definite(a) && Definite(b) && a != b)
                differences.push_back(
                    {slot, pin, MemSwitchForm::Definition(slot + 1, pin).label, "", OnOff(a == PinOn), OnOff(b == PinOn)});
        }
    }
    for (const ProfileSetting setting : kProfileSettings) {
        const auto a = SettingText(from.record, setting), b = SettingText(to.record, setting);
        if (a && b && *a != *b)
            differences.push_back({-1, 0, "", SettingKey(setting), *a, *b});
    }
    if (from.powerSave && to.powerSave && *from.powerSave != *to.powerSave)
        differences.push_back({-1, 0, "", "power-save", OnOff(*from.powerSave), OnOff(*to.powerSave)});
    if (from.entranceTime && to.entranceTime && *from.entranceTime != *to.entranceTime)
        differences.push_back(
            {-1, 0, "", "entrance-time", std::to_string(*from.entranceTime), std::to_string(*to.entranceTime)});
    return differences;
}

std::vector<std::string> NotTaken(const StatusTarget& asked, const StatusTarget& held)
{
    std::vector<std::string> pins;
    for (const StatusDifference& d : Differences(held, asked)) {
        if (d.slot >= 0)
            pins.push_back("switch " + std::to_string(kSwitchNumbers[d.slot]) + " pin " + std::to_string(d.pin)
                           + " did not take '" + d.to + "'");
        else if (d.setting == "power-save" || d.setting == "entrance-time")
            pins.push_back((d.setting == "power-save" ? "power save" : "entrance time") + std::string(" did not take '")
                           + d.to + "'");
    }
    return pins;
}

} // namespace kalo
