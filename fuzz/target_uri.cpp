// A connection URI, as --target and the fleet's targets file read it. What
// is taken must write back as a URI that reads as the same connection.
#include "cli/TargetUri.h"

#include "FuzzTarget.h"

using namespace kalo;

void kalo::fuzz::Fuzz(const uint8_t* data, size_t size)
{
    const std::string text = Text(data, size);
    cli::ConnectionOptions options;
    std::string error;
    if (!cli::ParseTargetUri(text, options, error)) {
        AbortIf(error.empty());
        return;
    }
    const std::string canonical = cli::FormatTargetUri(options);
    cli::ConnectionOptions again;
    AbortIf(!cli::ParseTargetUri(canonical, again, error) || !(again == options)
        || cli::FormatTargetUri(again) != canonical);
    const platform::PortMap ports([](const char*) -> const char* { return nullptr; });
    AbortIf(cli::DeviceIdentity(options, ports) != cli::DeviceIdentity(again, ports));
}
