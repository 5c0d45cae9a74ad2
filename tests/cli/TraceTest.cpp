#include "cli/TraceViewCommand.h"
#include "support/InProcessKaloctl.h"

#include <gtest/gtest.h>

#include <regex>
#include <sys/stat.h>

using kalo::sim::InProcessPlatform;
using kalo::test::RunKaloctl;

namespace {

// A trace or a wire log taken apart: the bytes each way as one run of hex
// (chunks may split differently on the two sides), the waits, the failures.
struct WireLines {
    std::vector<std::string> headers;
    std::string tx, rx;
    std::vector<uint32_t> waits;
    std::vector<std::string> errors;
    std::vector<std::string> shortened;
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
        else if (kind == "wait" && rest.find(" ended ") != std::string::npos)
            lines.shortened.push_back(rest); // a wait the reply pace ended: no sleep of the clock's
        else if (kind == "wait")
            lines.waits.push_back(uint32_t(std::stoul(rest)));
        else if (kind == "error")
            lines.errors.push_back(rest);
    }
    return lines;
}

} // namespace

// On the virtual clock each exchange's trace carries, each way, exactly the
// bytes the printer's wire log has the other way, every wait the clock took,
// and trace-view names every command sent. (The order of the commands is the
// exchanges' own tests'.)
TEST(TracedExchange, MatchesTheWireLogAndTheClock)
{
    const struct {
        std::vector<std::string> args;
        std::string header;
        std::string shown;          // a command or reply trace-view tells
        const char* pace = "";      // KALO_PACE
    } rows[] = {
        {{"--serial", "COM1", "--baud", "19200", "--flow", "xonxoff", "identify"}, "COM1, 19200,n,8,1,x",
         "model \"TLR-740plusII\""},
        {{"--serial", "COM1", "--parity", "even", "--data-bits", "7", "--stop-bits", "2", "--flow", "none", "get-status"},
         "COM1, 9600,e,7,2", "switch 12: pins 8-1 "},
        {{"--tcp", "10.0.0.50", "set-status", "--pin", "6:2=on"}, "socket://10.0.0.50:9100",
         "  sent      SwitchWrite 6 22222212 ("},
        // The pace reaches the port of every command, set-status's own session too; --pace overrides KALO_PACE.
        {{"--tcp", "10.0.0.50", "set-status", "--pin", "6:2=on"}, "socket://10.0.0.50:9100, pace reply",
         "  sent      SwitchWrite 6 22222212 (", "reply"},
        {{"--pace", "fixed", "--serial", "COM1", "identify"}, "COM1, 9600,n,8,1,p", "model \"TLR-740plusII\"", "reply"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        InProcessPlatform machine;
        std::vector<std::string> args = {"--trace", "-"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        setenv("KALO_PACE", row.pace, 1);
        const auto run = RunKaloctl(args, machine);
        unsetenv("KALO_PACE");
        ASSERT_EQ(run.status, 0) << run.err;

        const WireLines trace = Take(run.err);
        const WireLines wire = Take(machine.WireLogText());
        EXPECT_EQ(trace.headers, std::vector<std::string>{"# kalo " KALO_VERSION_TEXT ", " + row.header});
        EXPECT_FALSE(trace.tx.empty());
        EXPECT_EQ(trace.tx, wire.rx);
        EXPECT_EQ(trace.rx, wire.tx);
        EXPECT_EQ(trace.waits, machine.Clock().Sleeps());
        EXPECT_EQ(trace.errors, std::vector<std::string>{});
        // The printer's log tells when the port was held, and trace-view reads it whole.
        const std::string wireView = kalo::cli::ViewTrace(machine.WireLogText());
        const std::string sent = "sent      ";
        EXPECT_TRUE(wireView.find("open      ") < wireView.find(sent) && wireView.rfind("close     ") > wireView.rfind(sent)
                    && wireView.find("not a trace line") == std::string::npos) << wireView;
        // The reply pace ends the waits before reads early, and says so: the printer answers at
        // once, so a wait ends after the network's shortest settle time, or at once when an
        // earlier wait already read its reply.
        EXPECT_EQ(trace.shortened.empty(), row.header.find("pace reply") == std::string::npos);
        for (const std::string& wait : trace.shortened) {
            const std::string ended = wait.substr(wait.find(" ended "));
            EXPECT_TRUE(ended == " ended 5" || ended == " ended 0") << wait;
        }

        // Every command sent has its name: none is shown as bare bytes.
        const std::string view = kalo::cli::ViewTrace(run.err);
        EXPECT_FALSE(std::regex_search(view, std::regex("  sent {6}[0-9a-f]{2}( |$)"))) << view;
        EXPECT_NE(view.find(row.shown), std::string::npos) << view;
    }
}

// A port that fails is in the trace with the call and the system's reason,
// once, where it happened; a trace file that cannot be written is refused
// before anything is opened, a FIFO at once rather than waited on for a
// reader; a command that needs no printer opens no trace file.
TEST(TracedFailure, IsWrittenOrRefused)
{
    const std::string fifo = kalo::test::Scratch("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string cannot = "cannot write the trace file '";
    const struct {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> errors; // the trace's error lines, after "error ", or kaloctl's message
        int64_t closeAfter = -1;         // the printer hangs up after so many bytes
    } rows[] = {
        {{"--trace", "-", "--serial", "COM1", "identify"}, 1, {"open /dev/ttyS0: Permission denied"}},
        {{"--trace", "-", "--tcp", "10.0.0.50", "get-status"}, 1,
         {"send 10.0.0.50:9100: Broken pipe", "receive 10.0.0.50:9100: the printer closed the connection"}, 40},
        {{"--trace", fifo, "--tcp", "10.0.0.50", "identify"}, 2, {cannot + fifo + "': it is a FIFO, not a regular file"}},
        {{"--trace", "/nonexistent-kalo/t.log", "hex-to-bin", "41"}, 0, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        kalo::sim::PrinterOptions options;
        options.closeAfter = row.closeAfter;
        InProcessPlatform machine(options);
        machine.serialPermissionDenied = true;
        const auto run = RunKaloctl(row.args, machine);
        EXPECT_EQ(run.status, row.status);
        if (row.status == 2) {
            EXPECT_EQ(run.err, "kaloctl: " + row.errors.at(0) + "\n");
            EXPECT_EQ(machine.lastOpenedPath, "");
        } else {
            EXPECT_EQ(Take(run.err).errors, row.errors);
        }
    }
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
    const size_t length = RunKaloctl(args, whole).err.size();
    for (const size_t room : {size_t(0), length / 4, length / 2, length * 3 / 4, length - 1}) {
        SCOPED_TRACE(room);
        FillingBuffer buffer(room);
        std::ostream err(&buffer);
        InProcessPlatform machine;
        EXPECT_EQ(RunKaloctl(args, machine, {.err = &err}).status, 2);
        EXPECT_FALSE(machine.Printer().InUserSetting());
    }
}

// Whatever the file holds, trace-view shows it line by line without
// failing: a line it cannot read is shown as such, in its place.
TEST(TraceView, ShowsWhatItCannotRead)
{
    const struct {
        const char* name;
        std::string trace;
        std::string view; // the lines after the column heading
    } rows[] = {
        {"commands, text and data",
         "# kalo 0.1, LPT1\n3 tx 1b 40 0a 41 0d 0a\n4 tx 1c 6c 64 73 58 0a 1b 40 00 01 02 03 04 05 06 07 08 09 0a 0b\n",
         "# kalo 0.1, LPT1\n"
         "       3      +0  sent      Initialize (1b 40)\n"
         "                  sent      LineFeed (0a)\n"
         "                  sent      text \"A\\r\\n\"\n"
         "       4      +1  sent      1c 6c 64 73 58 0a 1b 40 00 01 02 03 04 05 06 07 ... (20 bytes)\n"},
        {"garbage", "0 rx 1b 40\n\x01\x02\nx tx 1b\n9 tx 1\n9 tx zz\n9 bogus 1\n-9223372036854775807 tx 1b 40\n",
         "# a kalo-vprinter wire log: \"sent\" is what the printer received\n"
         "       0      +0  sent      Initialize (1b 40)\n"
         "not a trace line: \\x01\\x02\nnot a trace line: x tx 1b\nnot a trace line: 9 tx 1\n"
         "not a trace line: 9 tx zz\nnot a trace line: 9 bogus 1\n"
         "not a trace line: -9223372036854775807 tx 1b 40\n"},
        {"failure", "# kalo 0.1, COM1, 9600,n,8,1,p\n120 error open /dev/ttyS0: Permission denied\n",
         "# kalo 0.1, COM1, 9600,n,8,1,p\n     120      +0  error     open /dev/ttyS0: Permission denied\n"},
        // A wire log names the other way round: "rx" is what the printer received.
        {"line too long", "5 rx 1b 40\n" + std::string((16 << 20) + 1, '1') + "\n7 tx 63\n",
         "# a kalo-vprinter wire log: \"sent\" is what the printer received\n"
         "       5      +0  sent      Initialize (1b 40)\n"
         "not a trace line: more than 16 MiB without a line break\n"
         "       7      +2  received  63\n"},
        // Nothing is guessed of a file that begins as neither: trace-view refuses it whole.
        {"neither", "shopping list\n5 rx 1b 40\n", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string view = kalo::cli::ViewTrace(row.trace);
        const size_t heading = view.find('\n') + 1;
        EXPECT_EQ(view.substr(heading), row.view);
    }
}
