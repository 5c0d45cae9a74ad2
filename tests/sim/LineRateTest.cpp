// kalo-vprinter --line-rate in real time, driven through the program's own
// serial device: the line settings it sets reach the printer, which takes
// the bytes at their speed and stops the sender when its buffer fills.
#include "platform/PosixPlatform.h"
#include "platform/RecordingMessageSink.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace kalo;
using kalo::test::VirtualPrinterProcess;

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// The wire log's lines of one direction, as (milliseconds, bytes).
std::vector<std::pair<long, std::string>> Logged(const std::string& wireLog, const char* direction)
{
    std::vector<std::pair<long, std::string>> lines;
    std::istringstream in(ReadFile(wireLog));
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        long ms = 0;
        std::string dir, hex;
        fields >> ms >> dir;
        if (dir != direction)
            continue;
        std::string bytes;
        while (fields >> hex)
            bytes += char(std::stoi(hex, nullptr, 16));
        lines.emplace_back(ms, bytes);
    }
    return lines;
}

struct PacedPrinter {
    explicit PacedPrinter(std::vector<std::string> extra)
        : dir(::testing::TempDir() + "kalo-lr-" + std::to_string(getpid()) + "-" + std::to_string(++count))
        , printer([&] {
            std::vector<std::string> args{"--pty", "--line-rate", "--paper", dir + "-paper.txt", "--wire-log",
                                          dir + "-wire.log"};
            args.insert(args.end(), extra.begin(), extra.end());
            return args;
        }())
    {
        device = machine.NewSerialDevice();
    }
    // Opens the line as the program does, with these settings.
    bool Open(const platform::LineSettings& settings)
    {
        return !printer.ptyPath.empty() && device->Open(printer.ptyPath) == platform::kOk
            && device->SetLine(settings) == platform::kOk;
    }
    bool Write(const std::string& bytes)
    {
        size_t done = 0;
        while (done < bytes.size() && device->WaitWritable(5'000'000) == platform::kOk) {
            const long n = device->WriteAvailable(reinterpret_cast<const uint8_t*>(bytes.data()) + done,
                                                  bytes.size() - done);
            if (n < 0)
                return false;
            done += size_t(n);
        }
        return done == bytes.size();
    }
    std::string Paper() const { return ReadFile(dir + "-paper.txt"); }
    std::string WireLog() const { return dir + "-wire.log"; }

    static inline int count = 0;
    std::string dir;
    VirtualPrinterProcess printer;
    platform::RecordingMessageSink messages;
    platform::PosixPlatform machine{messages};
    std::unique_ptr<platform::SerialDevice> device;
};

platform::LineSettings Line(uint32_t baud, uint8_t byteSize, uint8_t parity, uint8_t stopBits, bool outX = false)
{
    platform::LineSettings settings;
    settings.baudRate = baud;
    settings.byteSize = byteSize;
    settings.parity = parity;
    settings.stopBits = stopBits;
    settings.outX = outX;
    return settings;
}

size_t Count(const std::string& text, char c)
{
    return size_t(std::count(text.begin(), text.end(), c));
}

} // namespace

// Timed at the printer's side: the pseudo-terminal takes the whole write at
// once, the printer's wire log shows it coming off the line.
TEST(LineRate, PacesAWriteToTheLineSettings)
{
    const struct {
        const char* name;
        platform::LineSettings line;
        std::vector<std::string> options;
        double seconds; // 1000 bytes
    } rows[] = {
        {"9600 8N1", Line(9600, 8, 0, 0), {}, 1.0417},
        {"19200 7E1, told by --frame", Line(19200, 7, 2, 0), {"--frame", "7E1"}, 0.5208},
        {"19200 8N2, the stop bits read from the line", Line(19200, 8, 0, 2), {}, 0.5729},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PacedPrinter paced(row.options);
        ASSERT_TRUE(paced.Open(row.line));
        ASSERT_TRUE(paced.Write(std::string(999, 'x') + "\n"));
        ASSERT_TRUE(WaitUntil([&] { return Count(paced.Paper(), 'x') == 999; }, 5000)) << paced.Paper();
        const auto received = Logged(paced.WireLog(), "rx");
        ASSERT_FALSE(received.empty());
        // The first line is logged after its first few bytes came.
        const double span = double(received.back().first - received.front().first) / 1000.0
            + double(received.front().second.size()) * row.seconds / 1000.0;
        EXPECT_NEAR(span, row.seconds, row.seconds * 0.05);
    }
}

// A 64-byte buffer read at 400 bytes/s behind a 9600-baud line. A sender
// that stops on XOFF loses nothing; one that does not, with the printer set
// to send XOFF anyway, sees XOFF and XON arrive as bytes and loses what the
// full buffer could not take, which the paper reports.
TEST(LineRate, XoffXonAndOverrun)
{
    const std::string text(300, 'x');
    const struct {
        const char* name;
        bool senderStops;
    } rows[] = {{"sender stops on XOFF", true}, {"sender ignores XOFF", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> options{"--buffer", "64", "--process-rate", "400"};
        if (!row.senderStops)
            options.push_back("--xonxoff");
        PacedPrinter paced(options);
        ASSERT_TRUE(paced.Open(Line(9600, 8, 0, 0, row.senderStops)));
        ASSERT_TRUE(paced.Write(text));
        if (!row.senderStops) {
            std::string heard;
            ASSERT_TRUE(WaitUntil(
                [&] {
                    uint8_t chunk[16];
                    const long n = paced.device->ReadAvailable(chunk, sizeof chunk);
                    heard.append(reinterpret_cast<const char*>(chunk), size_t(std::max(0L, n)));
                    return heard.find('\x11') != std::string::npos;
                },
                5000));
            EXPECT_EQ(heard, "\x13\x11");
        }
        // A cut after the text tells when the printer has taken it all.
        ASSERT_TRUE(paced.Write(std::string("\n\x1dV\0", 4)));
        ASSERT_TRUE(WaitUntil([&] { return paced.Paper().find("[cut]") != std::string::npos; }, 5000)) << paced.Paper();
        std::string sent;
        for (const auto& [ms, bytes] : Logged(paced.WireLog(), "tx"))
            sent += bytes;
        const std::string paper = paced.Paper();
        const size_t overrun = paper.find("[input overrun: ");
        if (row.senderStops) {
            // XOFF and XON in turn, as often as the buffer filled.
            EXPECT_FALSE(sent.empty());
            for (size_t i = 0; i < sent.size(); ++i)
                EXPECT_EQ(sent[i], i % 2 == 0 ? '\x13' : '\x11') << i;
            EXPECT_EQ(overrun, std::string::npos) << paper;
            EXPECT_EQ(Count(paper, 'x'), text.size());
        } else {
            ASSERT_NE(overrun, std::string::npos) << paper;
            const long lost = std::stol(paper.substr(overrun + 16));
            EXPECT_GT(lost, 0);
            EXPECT_NE(paper.find(" bytes lost]\n", overrun), std::string::npos);
            EXPECT_EQ(Count(paper, 'x') + size_t(lost), text.size()) << paper;
        }
    }
}
