#include "cli/TerminalOutput.h"
#include "sim/VirtualClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

// A status read steps the bar without setting a step size of its own (the
// window sets one); on a terminal the bar still moves with each step, after
// the first second, and is wiped when the read ends.
TEST(TerminalProgress, MovesWithEachStepOfARead)
{
    std::ostringstream terminal;
    kalo::sim::VirtualClock clock;
    {
        kalo::cli::TerminalProgress bar(terminal, true, clock);
        bar.SetPosition(0);
        for (int step = 0; step < 64; ++step) {
            clock.AdvanceBy(50000);
            bar.Step();
        }
    }
    // Steps 20 to 64 drawn, once a second has passed.
    const std::string shown = terminal.str();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '%'), 45) << shown;
    EXPECT_NE(shown.find(" 20%"), std::string::npos) << shown;
    EXPECT_NE(shown.find(" 64%"), std::string::npos) << shown;
}
