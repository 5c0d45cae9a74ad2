// An interruption of the program, raised between the blocks of a font
// download: what still goes out, and what is waited.
#include "platform/Interruption.h"
#include "sim/InProcessPlatform.h"
#include "status/FontDownload.h"
#include "support/FontImages.h"

#include <gtest/gtest.h>

using namespace kalo;
using Waits = std::vector<uint32_t>;

namespace {

class InterruptedFontDownload : public testing::Test {
protected:
    void TearDown() override { platform::ClearInterruption(); }
};

TEST_F(InterruptedFontDownload, StopsBetweenBlocks)
{
    sim::InProcessPlatform machine;
    CPrinterPort port(machine);
    port.Configure(NetworkPortSettings(machine.networkHost, machine.networkPort));
    ASSERT_EQ(port.Open(), 1);
    ProgressState progress;
    FontDownload download(port, machine.GetClock(), progress, {test::FontImageBytes(615695), "test"});
    machine.Clock().ClearSleeps();
    int ticks = 0;
    const FontDownloadOutcome outcome = RunFontDownload(download, machine.GetClock(), [&] {
        if (++ticks == 3)
            platform::Interrupt(0);
    });
    EXPECT_EQ(outcome.end, FontDownloadEnd::Stopped);
    EXPECT_EQ(outcome.sent, 64u + 3 * 4096u);
    EXPECT_EQ(machine.lastLink->Written().size(), 4u);
    // A tick and a block wait for each of the three blocks, and no wait after.
    EXPECT_EQ(machine.Clock().Sleeps(), Waits(6, 10));
}

} // namespace
