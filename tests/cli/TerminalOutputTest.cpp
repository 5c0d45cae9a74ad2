#include "cli/TerminalOutput.h"
#include "sim/VirtualClock.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
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
    const std::string shown = terminal.str();
    std::set<std::string> percents;
    const std::regex percent("[0-9]+%");
    for (std::sregex_iterator it(shown.begin(), shown.end(), percent), end; it != end; ++it)
        percents.insert(it->str());
    EXPECT_EQ(percents.size(), 45u) << shown; // steps 20..64, once a second has passed
    EXPECT_TRUE(percents.count("64%")) << shown;
}
