#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kalo {

// How the exchanges time their waits for the printer's replies.
enum class Pace {
    // Every wait its full planned length, as the printers were first paced:
    // the default until real printers have been seen to answer the other.
    Fixed,
    // A wait before a read ends once the reply it waits for is whole and the
    // line has settled; waits the printer needs to carry out a command stay.
    Reply,
};

// "fixed" or "reply"; nothing for any other word.
std::optional<Pace> PaceNamed(std::string_view name);
const char* PaceName(Pace pace);

// The environment variable both programs read the pace from.
inline constexpr char kPaceVariable[] = "KALO_PACE";

// The refusal of a word that names no pace: "KALO_PACE is 'quick': it must
// be fixed or reply" (source: "KALO_PACE" or "--pace").
std::string PaceRefusal(std::string_view source, std::string_view given);

} // namespace kalo
