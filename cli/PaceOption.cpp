#include "PaceOption.h"

#include "cli/options/Nearest.h"
#include "connect/EnvironmentPace.h"

namespace kalo::cli {

namespace {

const OptionTable<PaceOptions>& Table()
{
    static const OptionTable<PaceOptions> table = {
        {{"--pace", "PACE",
          "how the waits before the printer's replies end: fixed, after their full planned time; reply, once "
          "the reply is whole (a wait the printer needs to carry out a command stays). Without it KALO_PACE "
          "chooses, else fixed, the default until real printers have been seen to answer the reply pace",
          OptionValues::Names({PaceName(Pace::Fixed), PaceName(Pace::Reply)})},
         [](PaceOptions& o, const OptionValue& v) { o.pace = PaceNamed(v.text); }},
    };
    return table;
}

} // namespace

bool ExtractPaceOptions(std::vector<std::string>& args, PaceOptions& options, std::string& error)
{
    return TakeOptions(Table(), args, options, error);
}

bool ChoosePace(const PaceOptions& options, Pace& pace, std::string& error)
{
    if (options.pace) {
        pace = *options.pace;
        return true;
    }
    const EnvironmentPace chosen = PaceFromEnvironment();
    pace = chosen.pace;
    if (chosen.refusal.empty())
        return true;
    error = chosen.refusal + DidYouMean(chosen.given, Table().front().values.Choices());
    return false;
}

std::vector<const OptionInfo*> PaceOptionInfos()
{
    return Infos(Table());
}

void PrintPaceOptions(std::ostream& out)
{
    out << "Pace:\n";
    PrintOptions(out, Infos(Table()));
}

} // namespace kalo::cli
