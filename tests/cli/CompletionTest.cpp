#include "support/InProcessKaloctl.h"

#include <gtest/gtest.h>

// Bash's completion asks kaloctl what may come next: commands, the options
// of the command named, the values of the option before, quoted for the
// shell; an option's value is never taken for the command, and no device
// is left open.
TEST(KaloctlCompletion, OffersWhatMayComeNext)
{
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        // The line as bash splits it, the last word the one completed; one candidate a line.
        {{"s"}, "status\nset-status\nself-test\nshow-sts\nsend\n"},
        {{"--serial", "COM2", "--baud", "9600", "pr"}, "print-status\nprint-codepage\n"},
        {{"--trace", "identify", "g"}, "get-status\n"},
        {{"--tcp", "printer", "get-status", "--s"}, "--serial\n--stop-bits\n--save\n"},
        {{"set-status", "--code-page", "pc865"}, "'PC865 (Nordic)'\n'PC865/PC1252 (ADC)'\n"},
        {{"set-status", "--double-byte-font", "'[S"}, "'[Single Byte Font]'\n"},
        {{"set-status", "--single-byte-font", ""},
         "A\nB\nC\n'No Chnage'\n'Font A (12x24)'\n'Font B (9x17)'\n'Font C (9x24)'\n"},
        {{"--serial", "'\\\\.\\COM1"}, "'\\\\.\\COM10'\n'\\\\.\\COM11'\n'\\\\.\\COM12'\n'\\\\.\\COM13'\n'\\\\.\\COM14'\n"},
        {{"--usb-device", ""}, "'742plusII:/dev/usb/lp1?vid_7a3c&pid_001e&serial=K1'\n/dev/usb/lp1\nK1\n"},
        {{"--serial", "/dev/tty"}, "/dev/ttyUSB0\n/dev/ttyACM0\n"}, {{"--parallel", ""}, "LPT1\nLPT2\nLPT3\n/dev/lp1\n"},
        {{"set-status", "--load", ""}, ""}, // file names and operands are bash's
    };
    for (const auto& [words, candidates] : rows) {
        SCOPED_TRACE(testing::PrintToString(words));
        kalo::sim::InProcessPlatform machine;
        machine.usbPrinters = {{"/dev/usb/lp0", "04b8", "0202", "X"}, {"/dev/usb/lp1", "7a3c", "001e", "K1"}};
        machine.serialDevices = {{"/dev/ttyUSB0"}, {"/dev/ttyACM0"}};
        machine.parallelDevices = {{"/dev/lp1"}};
        std::vector<std::string> args{"--complete", std::to_string(words.size()), "kaloctl"};
        args.insert(args.end(), words.begin(), words.end());
        const kalo::test::KaloRun run = kalo::test::RunKaloctl(args, machine);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, candidates);
        EXPECT_EQ(machine.openDevices, 0);
    }
}
