// A profile file's bytes, read as JSON and as a .sts file, as set-status
// --profile and diff take them.
#include "status/ProfileJson.h"
#include "status/StatusFile.h"

#include <cstdlib>
#include <cstring>
#include <string>

using namespace kalo;

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
    if (!ProfileJson::Parse(text, again, error))
        std::abort();
    const StatusTarget target = ResolveProfile(profile);
    if (!SamePins(target, ResolveProfile(again)) || again.comment != profile.comment || again.model != profile.model)
        std::abort();
    for (int i = 0; i < kProfileSettingCount; ++i) {
        if (again.settings[i] != profile.settings[i])
            std::abort();
    }
    if (!Differences(target, target).empty() || !NotTaken(target, target).empty())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    Profile profile;
    std::string error;
    if (ProfileJson::Parse(text, profile, error))
        RoundTrip(profile);
    else if (error.empty())
        std::abort(); // a refusal always says why

    StatusRecord record;
    StatusFile::Decode(data, size, record);
    RoundTrip(StatusFileProfile(record));
    return 0;
}
