// A profile file's bytes, read as JSON and as a .sts file, as set-status
// --profile and diff take them.
#include "status/ProfileJson.h"
#include "status/StatusFile.h"

#include "FuzzTarget.h"
#include <cstring>
#include <string>

using namespace kalo;
using kalo::fuzz::AbortIf;

namespace {

bool SamePins(const StatusTarget& a, const StatusTarget& b)
{
    return std::memcmp(a.record.switchPins, b.record.switchPins, sizeof a.record.switchPins) == 0
        && a.powerSave == b.powerSave && a.entranceTime == b.entranceTime;
}

// What is written reads back as the same profile, asks for the same pins,
// and differs from itself in nothing.
void RoundTrip(const Profile& profile)
{
    const std::string text = ProfileJson::Text(profile);
    Profile again;
    std::string error;
    AbortIf(!ProfileJson::Parse(text, again, error));
    const StatusTarget target = ResolveProfile(profile);
    AbortIf(!SamePins(target, ResolveProfile(again)) || again.comment != profile.comment || again.model != profile.model);
    for (int i = 0; i < kProfileSettingCount; ++i) {
        AbortIf(again.settings[i] != profile.settings[i]);
    }
    AbortIf(!Differences(target, target).empty() || !NotTaken(target, target).empty());
}

} // namespace

void kalo::fuzz::Fuzz(const uint8_t* data, size_t size)
{
    const std::string text = Text(data, size);
    Profile profile;
    std::string error;
    if (ProfileJson::Parse(text, profile, error))
        RoundTrip(profile);
    else if (error.empty())
        std::abort(); // a refusal always says why

    StatusRecord record;
    StatusFile::Decode(data, size, record);
    RoundTrip(StatusFileProfile(record));
}
