#include "EnvironmentPace.h"

#include <cstdlib>

namespace kalo {

EnvironmentPace PaceFromEnvironment()
{
    EnvironmentPace chosen;
    const char* value = std::getenv(kPaceVariable);
    if (!value || !*value)
        return chosen;
    chosen.given = value;
    if (const std::optional<Pace> named = PaceNamed(chosen.given))
        chosen.pace = *named;
    else
        chosen.refusal = PaceRefusal(kPaceVariable, chosen.given);
    return chosen;
}

} // namespace kalo
