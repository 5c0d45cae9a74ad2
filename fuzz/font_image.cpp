// A font image through the check that guards a download, and an accepted
// one through the download itself.
#include "sim/VirtualClock.h"
#include "status/FontDownload.h"
#include "status/FontImage.h"
#include "status/ProgressSink.h"

#include "FuzzTarget.h"
#include <string>

using namespace kalo;

void kalo::fuzz::Fuzz(const uint8_t* data, size_t size)
{
    FontImage image;
    image.bytes = Text(data, size);
    image.origin = "fuzz";
    std::string problem;
    if (!CheckFontImage(image.bytes, problem)) {
        AbortIf(problem.empty());
        return;
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
    AbortIf(!outcome.Succeeded() || wire != Text(data, size));
}
