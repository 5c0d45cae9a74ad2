#pragma once

#include "port/Pace.h"

#include <string>

namespace kalo {

// The pace KALO_PACE names for both programs: fixed when it is unset or
// empty. Any other word that names no pace is not taken for fixed without a
// word: refusal says what is wrong, and the front decides what follows.
struct EnvironmentPace {
    Pace pace = Pace::Fixed;
    std::string given;   // the variable's text
    std::string refusal; // empty when it names a pace or is unset
};
EnvironmentPace PaceFromEnvironment();

} // namespace kalo
