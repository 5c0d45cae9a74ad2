// A fleet's targets file as a technician or a script wrote it.
#include "connect/TargetsFile.h"
#include "platform/PortMap.h"

#include "FuzzTarget.h"

using namespace kalo;

void kalo::fuzz::Fuzz(const uint8_t* data, size_t size)
{
    static const kalo::platform::PortMap ports;
    std::vector<Target> targets;
    std::vector<std::string> errors;
    const bool taken = ReadTargets(Text(data, size),
                                   TargetUriReaderFor(ports), targets, errors);
    // A file is taken whole or not at all, and a refusal always says why.
    AbortIf(taken != errors.empty() || (!taken && !targets.empty()));
    for (const Target& target : targets) {
        AbortIf(target.name.empty() || target.name.size() > kMaxTargetName || target.uri.empty());
    }
}
