#include "FleetTargets.h"

#include "platform/Files.h"

namespace kalo::cli {

namespace {

constexpr size_t kMaxTargetsFileBytes = 16 * 1024 * 1024;
// The longest the names of the targets file may take to resolve, all of
// them together: a name server that does not answer is asked twice, 5 s each.
constexpr int64_t kResolveMicros = 10'000'000;

} // namespace

const OptionInfo& TargetsFileOption()
{
    static const OptionInfo option = {"--targets", "FILE", "the printers: one \"NAME URI\" a line, '#' comments",
                                      OptionValues::Text("a file name")};
    return option;
}

std::optional<FleetTargets> LoadFleetTargets(CommandContext& context, const std::string& path, const char* who)
{
    const std::string prefix = std::string("kaloctl ") + who + ": ";
    std::string text, error;
    if (!platform::ReadFile(path, kMaxTargetsFileBytes, text, error)) {
        context.err << prefix << error << '\n';
        return std::nullopt;
    }
    FleetTargets loaded;
    std::vector<std::string> errors;
    if (!ReadTargets(text, TargetUriReaderFor(context.platform.Ports()), loaded.targets, errors)) {
        for (const std::string& line : errors)
            context.err << prefix << path << ": " << line << '\n';
        context.err << prefix << "nothing was run\n";
        return std::nullopt;
    }
    loaded.addresses = ResolveTargets(loaded.targets, context.platform.Names(), kResolveMicros);
    if (!loaded.addresses.errors.empty()) {
        for (const std::string& line : loaded.addresses.errors)
            context.err << prefix << path << ": " << line << '\n';
        context.err << prefix << "nothing was run\n";
        return std::nullopt;
    }
    return loaded;
}

} // namespace kalo::cli
