#pragma once

#include "PrinterFacts.h"
#include "StatusRecord.h"

#include <optional>
#include <string>
#include <vector>

namespace kalo {

// The Printer Setting page's lists a profile names, in the order a profile
// applies them: the double-byte font first, since it decides whether the
// page lets a code page be chosen at all.
enum class ProfileSetting { DoubleByteFont, CodePage, Emulation, PrintSpeed, SingleByteFont };
inline constexpr int kProfileSettingCount = 5;
inline constexpr ProfileSetting kProfileSettings[kProfileSettingCount] = {
    ProfileSetting::DoubleByteFont, ProfileSetting::CodePage, ProfileSetting::Emulation, ProfileSetting::PrintSpeed,
    ProfileSetting::SingleByteFont};

// Its key, as set-status's option names it ("code-page"), and its list.
const char* SettingKey(ProfileSetting setting);
const std::vector<std::string>& SettingList(ProfileSetting setting);

// One known-good configuration for printers: each pin on, off or kept
// (PinNoChange), settings by list position, power save and entrance time or
// kept. The printer's model, firmware and language only say where it came from.
struct Profile {
    StatusRecord switches;
    std::optional<int> settings[kProfileSettingCount];
    std::optional<bool> powerSave;
    std::optional<int> entranceTime;
    std::string model, firmware, language, comment;
};

// What a printer is asked to hold, or holds: every pin on, off or kept,
// power save and entrance time or kept.
struct StatusTarget {
    StatusRecord record;
    std::optional<bool> powerSave;
    std::optional<int> entranceTime;
};

// The settings through the page's translation (side effects on other pins
// included), then the profile's pins over them. A double-byte font sets its
// pins only: nothing here starts a download.
StatusTarget ResolveProfile(const Profile& profile);

// A printer's status as a profile: every pin on or off, the settings its
// pins give as the page's lists name them, power save and its facts.
Profile PrinterProfile(const StatusRecord& record, const PrinterFacts& facts);
// A status file as Load takes it: switches 1, 2, 11 and 12, the rest kept;
// its double-byte choice is not a setting (it would start a download).
Profile StatusFileProfile(const StatusRecord& record);

// The list text a record's pins give for a setting, when every pin it reads is on or off.
std::optional<std::string> SettingText(const StatusRecord& record, ProfileSetting setting);

// A pin (slot 0..7) or a setting ("code-page", "power-save", "entrance-time",
// ...) that is not the same on two sides.
struct StatusDifference {
    int slot = -1; // -1 for a setting
    int pin = 0;
    std::string label; // the memory-switch page's label of the pin
    std::string setting;
    std::string from, to;
};

// Where from and to differ, pins first in switch order, then settings; what
// either side keeps is no difference.
std::vector<StatusDifference> Differences(const StatusTarget& from, const StatusTarget& to);

// The pins and power-save values asked that the printer does not hold
// (read back after a write), as "switch 6 pin 2 did not take 'on'".
std::vector<std::string> NotTaken(const StatusTarget& asked, const StatusTarget& held);

} // namespace kalo
