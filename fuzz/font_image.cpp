// A font image through the check that guards a download, and an accepted
// one through the download itself.
#include "sim/VirtualClock.h"
#include "status/FontDownload.h"
#include "status/FontImage.h"
#include "status/ProgressSink.h"

#include <cstdlib>
#include <string>

using namespace kalo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FontImage image;
    image.bytes.assign(reinterpret_cast<const char*>(data), size);
    image.origin = "fuzz";
    std::string problem;
    if (!CheckFontImage(image.bytes, problem)) {
        if (problem.empty())
            std::abort();
        return 0;
    }
    // Accepted: the whole image goes out once, in order, and the download
    // ends complete, whatever the count says about the rest.
    std::string wire;
    sim::VirtualClock clock;
    ProgressState progress;
    FontDownload download([&wire](const uint8_t* bytes, uint32_t length) {
        wire.append(reinterpret_cast<const char*>(bytes), length);
        return int(length);
    }, clock, progress, std::move(image));
    const FontDownloadOutcome outcome = RunFontDownload(download, clock);
    if (!outcome.Succeeded() || wire != std::string(reinterpret_cast<const char*>(data), size))
        std::abort();
    return 0;
}
