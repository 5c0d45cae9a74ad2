#pragma once

#include "Profile.h"

#include <string>

namespace kalo {

// Profiles as files: JSON ("format": "kalo-profile/1"), or a .sts status file.
class ProfileJson {
public:
    static constexpr const char* kFormat = "kalo-profile/1";
    // More than any profile needs; a bigger file is refused unread.
    static constexpr size_t kMaxBytes = 1 << 20;

    // False with the reason: a syntax error with its line and column
    // ("line 3, column 7: ..."), anything else with its JSON path
    // ("/switches/6/9: ..."). profile is untouched then.
    static bool Parse(const std::string& text, Profile& profile, std::string& error);
    // Every pin that is not kept, the settings, power save and the facts;
    // two-space indented, ending in a line break.
    static std::string Text(const Profile& profile);

    // A name ending in "sts" is a status file, anything else JSON. The
    // reason names the file.
    static bool Load(const std::string& path, Profile& profile, std::string& error);
    // Replaces the file only once the new one is whole.
    static bool Save(const std::string& path, const Profile& profile, std::string& error);
};

} // namespace kalo
