#include "cli/Kaloctl.h"
#include "cli/TraceViewCommand.h"
#include "platform/LazyRegistryFile.h"
#include "sim/MemorySpooler.h"
#include "sim/InProcessPlatform.h"
#include "support/ChildProcess.h"
#include "support/WireLogText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using kalo::sim::InProcessPlatform;

namespace {

// A trace or a wire log taken apart: the bytes each way as one run of hex
// (chunks may split differently on the two sides), the waits, the failures.
struct WireLines {
    std::vector<std::string> headers;
    std::string tx, rx;
    std::vector<uint32_t> waits;
    std::vector<std::string> errors;
};

WireLines Take(const std::string& text)
{
    WireLines lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("# ", 0) == 0) {
            lines.headers.push_back(line);
            continue;
        }
        std::istringstream words(line);
        long long ms = -1;
        std::string kind, rest;
        if (!(words >> ms >> kind) || ms < 0)
            continue; // not a trace line: kaloctl's own words on standard error
        std::getline(words >> std::ws, rest);
        std::string& bytes = kind == "tx" ? lines.tx : lines.rx;
        if (kind == "tx" || kind == "rx")
            bytes += (bytes.empty() ? "" : " ") + rest;
        else if (kind == "wait")
            lines.waits.push_back(uint32_t(std::stoul(rest)));
        else if (kind == "error")
            lines.errors.push_back(rest);
    }
    return lines;
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct KaloRun {
    int status;
    std::string out, err;
};

// errStream: standard error, when not a string kept for the result.
KaloRun Kalo(const std::vector<std::string>& args, InProcessPlatform& machine, std::ostream* errStream = nullptr)
{
    std::ostringstream out, err;
    const kalo::platform::LazyRegistryFile none([] { return std::string(); });
    const kalo::CRegistryKey registry({&none});
    kalo::sim::MemorySpooler spooler;
    const int status =
        kalo::cli::Kaloctl().Run(args, out, errStream ? *errStream : err, machine, spooler, registry);
    return {status, out.str(), err.str()};
}

// The names trace-view gives the commands of an exchange, in the order sent.
std::vector<std::string> SentNames(const std::string& view)
{
    std::vector<std::string> names;
    std::istringstream in(view);
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find(" sent ");
        if (at == std::string::npos)
            continue;
        const size_t name = line.find_first_not_of(' ', at + 5);
        names.push_back(line.substr(name, line.find(" (", name) - name));
    }
    return names;
}

const std::vector<std::string> kIdentification = {"Initialize", "SelectPrinter", "StatusBackOff",
                                                  "IdentificationByteQuery", "MakerNameQuery", "ModelNameQuery"};

std::vector<std::string> Status()
{
    std::vector<std::string> names = kIdentification;
    names.insert(names.end(), {"Initialize", "SelectPrinter", "FirmwareVersionQuery", "LanguageQuery",
                               "ModelNameQuery", "StatusBackOff", "IdentificationByteQuery"});
    for (const char* number : {"1", "2", "3", "4", "5", "6", "11", "12"})
        names.push_back(std::string("SwitchQuery ") + number);
    names.push_back("PowerSaveQuery");
    return names;
}

// Every name in names, in that order, among the names sent (others may come between).
bool InOrder(const std::vector<std::string>& names, const std::vector<std::string>& sent)
{
    auto at = sent.begin();
    for (const std::string& name : names) {
        at = std::find(at, sent.end(), name);
        if (at == sent.end())
            return false;
        ++at;
    }
    return true;
}

// The rows print as their names (they name the ctest tests too).
template <class Row>
    requires requires(const Row& row) { row.name; }
void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.name;
}

struct TracedRow {
    const char* name;
    std::vector<std::string> args;
    std::string header;
    std::vector<std::string> commands; // trace-view names at least these, in order
    std::string reply;                 // and tells this reply
};

class TracedExchange : public ::testing::TestWithParam<TracedRow> {};

// On the virtual clock each exchange's trace carries, each way, exactly the
// bytes the printer's wire log has the other way, every wait the clock took,
// and trace-view names every command sent.
TEST_P(TracedExchange, MatchesTheWireLogAndTheClock)
{
    const TracedRow& row = GetParam();
    InProcessPlatform machine;
    std::vector<std::string> args = {"--trace", "-"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const KaloRun run = Kalo(args, machine);
    ASSERT_EQ(run.status, 0) << run.err;

    const WireLines trace = Take(run.err);
    const WireLines wire = Take(machine.WireLogText());
    EXPECT_EQ(trace.headers, std::vector<std::string>{"# kalo " KALO_VERSION_TEXT ", " + row.header});
    EXPECT_FALSE(trace.tx.empty());
    EXPECT_EQ(trace.tx, wire.rx);
    EXPECT_EQ(trace.rx, wire.tx);
    EXPECT_EQ(trace.waits, machine.Clock().Sleeps());
    EXPECT_EQ(trace.errors, std::vector<std::string>{});

    const std::string view = kalo::cli::ViewTrace(run.err);
    const std::vector<std::string> sent = SentNames(view);
    for (const std::string& name : sent)
        EXPECT_TRUE(!name.empty() && std::isupper(static_cast<unsigned char>(name[0]))) << "unnamed: " << name;
    EXPECT_TRUE(InOrder(row.commands, sent)) << view;
    EXPECT_NE(view.find(row.reply), std::string::npos) << view;
}

const std::string kModel = "model \"TLR-740plusII\"";

INSTANTIATE_TEST_SUITE_P(
    Trace, TracedExchange,
    ::testing::Values(
        TracedRow{"IdentifySerial", {"--serial", "COM1", "--baud", "19200", "--flow", "xonxoff", "identify"},
                  "COM1, 19200,n,8,1,x", kIdentification, kModel},
        TracedRow{"IdentifyParallel", {"--parallel", "LPT1", "identify"}, "LPT1", kIdentification, kModel},
        TracedRow{"GetStatusSerial", {"--serial", "COM1", "--parity", "even", "--data-bits", "7", "--stop-bits", "2",
                                      "--flow", "none", "get-status"},
                  "COM1, 9600,e,7,2", Status(), "switch 12: pins 8-1 "},
        TracedRow{"GetStatusTcp", {"--tcp", "10.0.0.50:9100", "get-status"}, "socket://10.0.0.50:9100", Status(),
                  "power save "},
        TracedRow{"SetStatusTcp", {"--tcp", "10.0.0.50", "set-status", "--pin", "6:2=on"}, "socket://10.0.0.50:9100",
                  {"EnterUserSetting", "SwitchWrite 6 22222212", "EndUserSetting"}, "in user-setting mode"}),
    [](const auto& row) { return std::string(row.param.name); });

const std::string kFifo = ::testing::TempDir() + "kalo-trace-fifo-" + std::to_string(::getpid());

struct FailureRow {
    const char* name;
    std::vector<std::string> args;
    void (*prepare)(InProcessPlatform& machine);
    int status;
    std::vector<std::string> errors; // the trace's error lines, after "error ", or kaloctl's message
    int64_t closeAfter = -1; // the printer hangs up after so many bytes
};

class TracedFailure : public ::testing::TestWithParam<FailureRow> {};

// A port that fails is in the trace with the call and the system's reason,
// once, where it happened; a trace file that cannot be written is refused
// before anything is opened.
TEST_P(TracedFailure, IsWrittenOrRefused)
{
    const FailureRow& row = GetParam();
    kalo::sim::PrinterOptions options;
    options.closeAfter = row.closeAfter;
    InProcessPlatform machine(options);
    if (row.prepare)
        row.prepare(machine);
    const KaloRun run = Kalo(row.args, machine);
    std::filesystem::remove(kFifo);
    EXPECT_EQ(run.status, row.status);
    if (row.status == 2) {
        EXPECT_EQ(run.err, "kaloctl: " + row.errors.at(0) + "\n");
        EXPECT_EQ(machine.lastOpenedPath, "");
        return;
    }
    EXPECT_EQ(Take(run.err).errors, row.errors);
}

// Standard error with room for so many bytes, as a disk filling up (a trace writes whole lines).
struct FillingBuffer final : std::stringbuf {
    explicit FillingBuffer(size_t bytes) : room(bytes) {}
    std::streamsize xsputn(const char* data, std::streamsize length) override
    {
        return size_t(length) > room ? 0 : (room -= size_t(length), std::stringbuf::xsputn(data, length));
    }
    size_t room;
};

// Wherever the trace stops taking lines, the Set Status stops as for Ctrl+C:
// exit 2, and the printer is not left in user-setting mode.
TEST(TraceLost, StopsTheCommandWithThePrinterOutOfUserSetting)
{
    const std::vector<std::string> args = {"--trace", "-", "--tcp", "10.0.0.50", "set-status", "--pin", "6:2=on"};
    InProcessPlatform whole;
    const size_t length = Kalo(args, whole).err.size();
    for (const size_t room : {size_t(0), length / 4, length / 2, length * 3 / 4, length - 1}) {
        SCOPED_TRACE(room);
        FillingBuffer buffer(room);
        std::ostream err(&buffer);
        InProcessPlatform machine;
        EXPECT_EQ(Kalo(args, machine, &err).status, 2);
        EXPECT_FALSE(machine.Printer().InUserSetting());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Trace, TracedFailure,
    ::testing::Values(
        FailureRow{"PermissionDenied",
                   {"--trace", "-", "--serial", "COM1", "identify"},
                   [](InProcessPlatform& m) { m.serialPermissionDenied = true; },
                   1,
                   {"open /dev/ttyS0: Permission denied"}},
        FailureRow{"HungUpMidway",
                   {"--trace", "-", "--tcp", "10.0.0.50", "get-status"},
                   nullptr,
                   1,
                   {"send 10.0.0.50:9100: Broken pipe", "receive 10.0.0.50:9100: the printer closed the connection"},
                   40},
        FailureRow{"TraceFileInAMissingFolder",
                   {"--trace", "/nonexistent-kalo/t.log", "--tcp", "10.0.0.50", "identify"},
                   nullptr,
                   2,
                   {"cannot write the trace file '/nonexistent-kalo/t.log': No such file or directory"}},
        // Refused at once, not waited on for a reader.
        FailureRow{"TraceOntoAFifo", {"--trace", kFifo, "--tcp", "10.0.0.50", "identify"},
                   [](InProcessPlatform&) { ::mkfifo(kFifo.c_str(), 0600); }, 2,
                   {"cannot write the trace file '" + kFifo + "': it is a FIFO, not a regular file"}},
        FailureRow{"TraceOntoADevice", {"--trace", "/dev/null", "--tcp", "10.0.0.50", "identify"}, nullptr, 2,
                   {"cannot write the trace file '/dev/null': it is a character device, not a regular file"}},
        // A command that needs no printer opens no trace file.
        FailureRow{"NoPrinterNoTrace", {"--trace", "/nonexistent-kalo/t.log", "hex-to-bin", "41"}, nullptr, 0, {}}),
    [](const auto& row) { return std::string(row.param.name); });

// Whatever the file holds, trace-view shows it line by line without
// failing: a line it cannot read is shown as such, in its place.
TEST(TraceView, ShowsWhatItCannotRead)
{
    const struct {
        const char* name;
        std::string trace;
        std::string view; // the lines after the column heading
    } rows[] = {
        {"wire log", "5 rx 1b 40\n7 tx 63\n",
         "# a kalo-vprinter wire log: \"sent\" is what the printer received\n"
         "       5      +0  sent      Initialize (1b 40)\n"
         "       7      +2  received  63\n"},
        {"split reply", "# kalo 0.1, COM1, 9600,n,8,1,p\n0 tx 1d 49 43\n0 wait 100\n100 rx 5f 41\n101 rx 00\n",
         "# kalo 0.1, COM1, 9600,n,8,1,p\n"
         "       0      +0  sent      ModelNameQuery (1d 49 43)\n"
         "       0      +0  wait      100 ms\n"
         "     100    +100  received  5f 41 00 (2 reads): model \"A\"\n"},
        {"commands, text and data",
         "# kalo 0.1, LPT1\n3 tx 1b 40 0a 41 0d 0a\n4 tx 1c 6c 64 73 58 0a 1b 40 00 01 02 03 04 05 06 07 08 09 0a 0b\n",
         "# kalo 0.1, LPT1\n"
         "       3      +0  sent      Initialize (1b 40)\n"
         "                  sent      LineFeed (0a)\n"
         "                  sent      text \"A\\r\\n\"\n"
         "       4      +1  sent      1c 6c 64 73 58 0a 1b 40 00 01 02 03 04 05 06 07 ... (20 bytes)\n"},
        {"garbage", "\x01\x02\nx tx 1b\n9 tx 1\n9 tx zz\n9 bogus 1\n-9223372036854775807 tx 1b 40\n",
         "# a kalo-vprinter wire log: \"sent\" is what the printer received\n"
         "not a trace line: \\x01\\x02\nnot a trace line: x tx 1b\nnot a trace line: 9 tx 1\n"
         "not a trace line: 9 tx zz\nnot a trace line: 9 bogus 1\n"
         "not a trace line: -9223372036854775807 tx 1b 40\n"},
        {"bad reply line", "# kalo 0.1, LPT1\n1 rx 5f\n2 rx 5g\n",
         "# kalo 0.1, LPT1\n       1      +0  received  5f\nnot a trace line: 2 rx 5g\n"},
        {"failure", "# kalo 0.1, COM1, 9600,n,8,1,p\n120 error open /dev/ttyS0: Permission denied\n",
         "# kalo 0.1, COM1, 9600,n,8,1,p\n     120      +0  error     open /dev/ttyS0: Permission denied\n"},
        {"line too long", std::string((16 << 20) + 1, '1') + "\n5 rx 1b 40\n",
         "not a trace line: more than 16 MiB without a line break\n"
         "# a kalo-vprinter wire log: \"sent\" is what the printer received\n"
         "       5      +0  sent      Initialize (1b 40)\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string view = kalo::cli::ViewTrace(row.trace);
        const size_t heading = view.find('\n') + 1;
        EXPECT_EQ(view.substr(heading), row.view);
    }
}

// In real time, over loopback TCP: kaloctl's trace and kalo-vprinter's wire
// log of the same run carry the same bytes each way, and the waits are those
// the same command takes on the virtual clock. (Not over a pseudo-terminal: a
// serial line's reply is read after a fixed wait, and one late on a loaded
// machine would change the waits that follow.)
TEST(TracedProgram, MatchesTheVirtualPrintersWireLog)
{
    const std::string command = "get-status"; // the identification first, then a reply for each query
    const std::filesystem::path folder = std::filesystem::temp_directory_path()
        / ("kalo-trace-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string wireLog = folder / "wire.log", traceFile = folder / "trace.log";
    {
        kalo::test::VirtualPrinterProcess printer({"--tcp", "0", "--paper", "/dev/null", "--wire-log", wireLog});
        const auto run = kalo::test::RunProgram(
            KALO_KALOCTL_PATH,
            {"--trace", traceFile, "--tcp", printer.tcpAddress + ":" + std::to_string(printer.tcpPort), command});
        ASSERT_EQ(run.status, 0) << run.err;
        // kaloctl can end before a loaded machine let the printer read its last bytes.
        EXPECT_TRUE(kalo::test::WaitForReceived(wireLog, Take(ReadText(traceFile)).tx, 10000));
    }
    const WireLines trace = Take(ReadText(traceFile));
    const WireLines wire = Take(ReadText(wireLog));
    EXPECT_FALSE(trace.tx.empty());
    EXPECT_EQ(trace.tx, wire.rx);
    EXPECT_EQ(trace.rx, wire.tx);

    InProcessPlatform machine;
    Kalo({"--tcp", "10.0.0.50", command}, machine);
    EXPECT_EQ(trace.waits, machine.Clock().Sleeps());
    std::filesystem::remove_all(folder);
}

} // namespace
