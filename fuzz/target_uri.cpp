// A connection URI, as --target and the fleet's targets file read it. What
// is taken must write back as a URI that reads as the same connection.
#include "connect/TargetUri.h"

#include "FuzzTarget.h"

using namespace kalo;

void kalo::fuzz::Fuzz(const uint8_t* data, size_t size)
{
    const std::string text = Text(data, size);
    ConnectionOptions options;
    std::string error;
    if (!ParseTargetUri(text, options, error)) {
        AbortIf(error.empty());
        return;
    }
    const std::string canonical = FormatTargetUri(options);
    ConnectionOptions again;
    AbortIf(!ParseTargetUri(canonical, again, error) || !(again == options)
        || FormatTargetUri(again) != canonical);
    const platform::PortMap ports([](const char*) -> const char* { return nullptr; });
    AbortIf(DeviceIdentity(options, ports) != DeviceIdentity(again, ports));
}
