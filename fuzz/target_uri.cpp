// A connection URI, as --target and the fleet's targets file read it. What
// is taken must write back as a URI that reads as the same connection.
#include "connect/TargetUri.h"

#include <cstdlib>

using namespace kalo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    ConnectionOptions options;
    std::string error;
    if (!ParseTargetUri(text, options, error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    const std::string canonical = FormatTargetUri(options);
    ConnectionOptions again;
    if (!ParseTargetUri(canonical, again, error) || !(again == options)
        || FormatTargetUri(again) != canonical)
        std::abort();
    const platform::PortMap ports([](const char*) -> const char* { return nullptr; });
    if (DeviceIdentity(options, ports) != DeviceIdentity(again, ports))
        std::abort();
    return 0;
}
