// A fleet's targets file as a technician or a script wrote it.
#include "connect/TargetsFile.h"
#include "platform/PortMap.h"

#include <cstdlib>

using namespace kalo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const kalo::platform::PortMap ports;
    std::vector<Target> targets;
    std::vector<std::string> errors;
    const bool taken = ReadTargets(std::string_view(reinterpret_cast<const char*>(data), size),
                                   TargetUriReaderFor(ports), targets, errors);
    // A file is taken whole or not at all, and a refusal always says why.
    if (taken != errors.empty() || (!taken && !targets.empty()))
        std::abort();
    for (const Target& target : targets) {
        if (target.name.empty() || target.name.size() > kMaxTargetName || target.uri.empty())
            std::abort();
    }
    return 0;
}
