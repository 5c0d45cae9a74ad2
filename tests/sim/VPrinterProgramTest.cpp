// kalo-vprinter's command line. Serving its links, its paper output and its
// wire log are shown by the kaloctl and window tests that run it.
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

using kalo::test::RunProgram;

TEST(VPrinterProgram, RefusesABadCommandLine)
{
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{}, {"--tcp", "70000"}, {"--pty", "--fault", "close-after=x"},
          {"--pty", "--fault", "stuck=6:9"}, {"--pty", "--switch", "1=1000001"}, {"--pty", "--one-client"},
          {"--tcp", "0", "--line-rate"}, {"--pty", "--line-rate", "--frame", "9N1"}, {"--pty", "--slow-delay", "40-20"},
          {"--pty", "--slow-delay", "1-x"}, {"--pty", "--fault", "late=0:5"}, {"--pty", "--seed", "-1"},
          {"--pty", "--state", "offline,paper-low"}, {"--pty", "--state", ","}, {"--pty", "--state-file"}}) {
        const auto run = RunProgram(KALO_VPRINTER_PATH, bad);
        EXPECT_EQ(run.status, 2) << ::testing::PrintToString(bad);
        EXPECT_FALSE(run.err.empty());
    }
}
