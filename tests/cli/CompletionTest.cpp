#include "cli/Kaloctl.h"
#include "sim/MemorySpooler.h"
#include "sim/InProcessPlatform.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct CompletionRow {
    const char* name;
    std::vector<std::string> words; // the line as bash splits it, the last word the one completed
    std::string out;                // one candidate a line
};

void PrintTo(const CompletionRow& row, std::ostream* out)
{
    *out << row.name;
}

class KaloctlCompletion : public ::testing::TestWithParam<CompletionRow> {};

const std::string kK1 = "742plusII:/dev/usb/lp1?vid_7a3c&pid_001e&serial=K1";

// Bash's completion asks kaloctl what may come next: commands, the options
// of the command named, the values of the option before, quoted for the
// shell; an option's value is never taken for the command, and no device
// is left open.
TEST_P(KaloctlCompletion, OffersWhatMayComeNext)
{
    const CompletionRow& row = GetParam();
    kalo::sim::InProcessPlatform machine;
    machine.usbPrinters = {{"/dev/usb/lp0", "04b8", "0202", "X"}, {"/dev/usb/lp1", "7a3c", "001e", "K1"}};
    kalo::sim::MemorySpooler spooler;
    std::vector<std::string> args{"--complete", std::to_string(row.words.size() - 1)};
    args.insert(args.end(), row.words.begin(), row.words.end());
    std::ostringstream out, err;
    EXPECT_EQ(kalo::cli::Kaloctl().Run(args, out, err, machine, spooler, kalo::CRegistryKey()), 0);
    EXPECT_EQ(out.str(), row.out);
    EXPECT_EQ(machine.openDevices, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Kaloctl, KaloctlCompletion,
    ::testing::ValuesIn(std::vector<CompletionRow>{
        {"Commands", {"kaloctl", "s"}, "set-status\nself-test\nshow-sts\nsend\n"},
        {"CommandAfterConnection", {"kaloctl", "--serial", "COM2", "--baud", "9600", "pr"},
         "print-status\nprint-codepage\n"},
        {"GlobalOptions", {"kaloctl", "--v"}, "--version\n"},
        {"TraceFileIsNoCommand", {"kaloctl", "--trace", "identify", "g"}, "get-status\n"},
        {"CommandOptions", {"kaloctl", "--tcp", "printer", "get-status", "--s"}, "--serial\n--stop-bits\n--save\n"},
        {"CodePagesQuoted", {"kaloctl", "set-status", "--code-page", "pc86"},
         "'PC860 (Portugues)'\n'PC863 (Canadian-French)'\n'PC865 (Nordic)'\n'PC866 (Cyrillic #2)'\n"
         "'PC862 (Hebrew DOS code)'\n'PC864 (Arabic)'\n'PC864 (CASIO)'\n'PC865/PC1252 (ADC)'\n'PC866 (DTK)'\n"},
        {"QuoteOpened", {"kaloctl", "set-status", "--double-byte-font", "'[S"}, "'[Single Byte Font]'\n"},
        {"ShortNamesAndEntries", {"kaloctl", "set-status", "--single-byte-font", ""},
         "A\nB\nC\n'No Chnage'\n'Font A (12x24)'\n'Font B (9x17)'\n'Font C (9x24)'\n"},
        {"SerialPortsWithBackslashes", {"kaloctl", "--serial", "'\\\\.\\COM1"},
         "'\\\\.\\COM10'\n'\\\\.\\COM11'\n'\\\\.\\COM12'\n'\\\\.\\COM13'\n'\\\\.\\COM14'\n"},
        {"ParallelPorts", {"kaloctl", "identify", "--parallel", ""}, "LPT1\nLPT2\nLPT3\n"},
        {"FewNumbers", {"kaloctl", "--baud", "1"}, "19200\n115200\n"},
        {"ManyNumbersLeftToTheUser", {"kaloctl", "set-status", "--entrance-time", ""}, ""},
        {"UsbPrintersOfTheFamily", {"kaloctl", "--usb-device", ""}, "'" + kK1 + "'\nK1\n"},
        {"FileNamesLeftToBash", {"kaloctl", "set-status", "--load", ""}, ""},
        {"OperandsLeftToBash", {"kaloctl", "show-sts", ""}, ""},
    }),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
