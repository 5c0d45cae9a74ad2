#include "Pace.h"

namespace kalo {

std::optional<Pace> PaceNamed(std::string_view name)
{
    if (name == "fixed")
        return Pace::Fixed;
    if (name == "reply")
        return Pace::Reply;
    return std::nullopt;
}

const char* PaceName(Pace pace)
{
    return pace == Pace::Reply ? "reply" : "fixed";
}

std::string PaceRefusal(std::string_view source, std::string_view given)
{
    return std::string(source) + " is '" + std::string(given) + "': it must be fixed or reply";
}

} // namespace kalo
