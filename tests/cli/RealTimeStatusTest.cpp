// kaloctl status over the in-process links: the printer's four replies (a
// missing one -1) -> the state, its words, the JSON's parts and the exit
// status, with nothing but DLE EOT 1..4 on the wire.
#include "support/InProcessKaloctl.h"

#include <nlohmann/json.hpp>

namespace {

using kalo::sim::InProcessPlatform;

struct Row {
    const char* name;
    std::vector<std::string> link;
    std::array<int, 4> replies;
    const char* state;
    const char* text;
    const char* parts; // paper, coverOpen, offline, errors, drawerHigh
    int status;
    int64_t ms = -1; // the virtual time taken, where the row checks it
    uint8_t lp = kalo::platform::kLptNotBusy | kalo::platform::kLptSelected | kalo::platform::kLptNoError;
};

const std::vector<std::string> kSerial = {"--serial", "COM1"}, kTcp = {"--tcp", "10.0.0.50"}, kUsb = {"--usb"},
                               kLpt = {"--parallel", "LPT1"}, kReplyPace = {"--pace", "reply", "--tcp", "10.0.0.50"};
const char kAllWell[] = R"({"paper":"ok","coverOpen":false,"offline":false,"errors":[],"drawerHigh":false})";
const char kUnknown[] = R"({"paper":"unknown","coverOpen":null,"offline":null,"errors":null,"drawerHigh":null})";

const Row kRows[] = {
    {"Ready", kTcp, {0x12, 0x12, 0x12, 0x12}, "ready", "Ready", kAllWell, 0, 400},
    {"ReadyUnderTheReplyPace", kReplyPace, {0x12, 0x12, 0x12, 0x12}, "ready", "Ready", kAllWell, 0, 22},
    {"InformationBitsAndDrawerLeaveItReady", kTcp, {0x76, 0x1A, 0x12, 0x12}, "ready", "Ready",
     R"({"paper":"ok","coverOpen":false,"offline":false,"errors":[],"drawerHigh":true})", 0},
    {"NearEndBit2", kUsb, {0x12, 0x12, 0x12, 0x16}, "paper-near-end", "Paper near end",
     R"({"paper":"near-end","coverOpen":false,"offline":false,"errors":[],"drawerHigh":false})", 4},
    {"NearEndBit3", kLpt, {0x12, 0x12, 0x12, 0x1A}, "paper-near-end", "Paper near end",
     R"({"paper":"near-end","coverOpen":false,"offline":false,"errors":[],"drawerHigh":false})", 4},
    {"PaperEndBit5", kSerial, {0x1A, 0x32, 0x12, 0x32}, "paper-out", "Paper out",
     R"({"paper":"out","coverOpen":false,"offline":true,"errors":[],"drawerHigh":false})", 5},
    {"PaperEndBit6WinsOverNearEnd", kTcp, {0x12, 0x12, 0x12, 0x5E}, "paper-out", "Paper out",
     R"({"paper":"out","coverOpen":false,"offline":false,"errors":[],"drawerHigh":false})", 5},
    {"CoverOpenPaperOut", kUsb, {0x1A, 0x36, 0x12, 0x7E}, "cover-open", "Cover open, paper out",
     R"({"paper":"out","coverOpen":true,"offline":true,"errors":[],"drawerHigh":false})", 5},
    {"AutoCutter", kLpt, {0x1A, 0x52, 0x1A, 0x12}, "error", "Off line: auto-cutter error",
     R"({"paper":"ok","coverOpen":false,"offline":true,"errors":["cutter"],"drawerHigh":false})", 5},
    {"UnrecoverableAndAuto", kSerial, {0x12, 0x12, 0x72, 0x12}, "error",
     "Unrecoverable error, automatically recoverable error",
     R"({"paper":"ok","coverOpen":false,"offline":false,"errors":["unrecoverable","auto"],"drawerHigh":false})", 5},
    {"ErrorWithoutCause", kTcp, {0x1A, 0x52, 0x12, 0x12}, "error", "Off line: error",
     R"({"paper":"ok","coverOpen":false,"offline":true,"errors":["error"],"drawerHigh":false})", 5},
    {"OffLine", kUsb, {0x1A, 0x12, 0x12, 0x12}, "offline", "Off line",
     R"({"paper":"ok","coverOpen":false,"offline":true,"errors":[],"drawerHigh":false})", 5},
    // Malformed: bit 0 set, bit 7 set, bit 4 clear, bit 1 clear.
    {"MalformedBytesAreUnknown", kSerial, {0x13, 0x92, 0x02, 0x10}, "unknown", "Unknown", kUnknown, 1},
    {"MissingPaperSensor", kTcp, {0x12, 0x12, 0x12, -1}, "unknown", "Unknown",
     R"({"paper":"unknown","coverOpen":false,"offline":false,"errors":[],"drawerHigh":false})", 1},
    {"MissingErrorCause", kSerial, {0x12, 0x12, -1, 0x16}, "unknown", "Paper near end, the rest unknown",
     R"({"paper":"near-end","coverOpen":false,"offline":false,"errors":null,"drawerHigh":false})", 1},
    {"PaperEndStopWithoutSensor", kUsb, {0x1A, 0x32, 0x12, -1}, "paper-out", "Paper out",
     R"({"paper":"out","coverOpen":false,"offline":true,"errors":[],"drawerHigh":false})", 5},
    {"NoAnswerWithinOneSecond", kTcp, {-1, -1, -1, -1}, "unknown", "Unknown", kUnknown, 1, 1000},
    {"ParallelLineStatusStandsIn", kLpt, {-1, -1, -1, -1}, "paper-out", "Paper out",
     R"({"paper":"out","coverOpen":null,"offline":true,"errors":[],"drawerHigh":null})", 5, -1,
     kalo::platform::kLptNotBusy | kalo::platform::kLptPaperOut | kalo::platform::kLptNoError},
};

TEST(RealTimeStatus, DecodesEveryBitOverEachLink)
{
    const std::string everything = {0x10, 0x04, 1, 0x10, 0x04, 2, 0x10, 0x04, 3, 0x10, 0x04, 4};
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        InProcessPlatform machine;
        machine.usbPrinters = {{"/dev/usb/lp0", "7a3c", "001d", "K1"}};
        machine.parallelStatus = row.lp;
        std::string wire;
        machine.responder = [&](const uint8_t* data, size_t length, std::vector<uint8_t>& reply) {
            wire.append(data, data + length);
            if (length == 3 && data[2] >= 1 && data[2] <= 4 && row.replies[data[2] - 1] >= 0)
                reply.push_back(uint8_t(row.replies[data[2] - 1]));
        };
        std::vector<std::string> args = row.link;
        args.insert(args.end(), {"status", "--json"});
        const int64_t start = machine.Clock().NowMicros();
        const kalo::test::KaloRun run = kalo::test::RunKaloctl(args, machine);
        EXPECT_EQ(run.status, row.status) << run.err;
        // Every request in order and nothing else, a silent printer's too.
        EXPECT_EQ(wire, everything);
        if (row.ms >= 0) {
            EXPECT_EQ((machine.Clock().NowMicros() - start) / 1000, row.ms);
        }
        const nlohmann::json json = nlohmann::json::parse(run.out, nullptr, false);
        ASSERT_TRUE(json.is_object()) << run.out;
        EXPECT_EQ(json["state"], row.state);
        EXPECT_EQ(json["text"], row.text);
        EXPECT_EQ(json["ready"], row.status == 0);
        nlohmann::json parts;
        for (const char* key : {"paper", "coverOpen", "offline", "errors", "drawerHigh"})
            parts[key] = json[key];
        EXPECT_EQ(parts, nlohmann::json::parse(row.parts));
        for (int n = 0; n < 4; ++n) {
            const int reply = row.replies[size_t(n)];
            EXPECT_EQ(json["replies"][std::to_string(n + 1)],
                      reply >= 0 && (reply & 0x93) == 0x12 ? nlohmann::json(reply) : nlohmann::json());
        }
    }
}

// A port a print queue is printing on is busy: not opened, no queue touched.
TEST(RealTimeStatus, BusyPortIsNotOpened)
{
    InProcessPlatform machine;
    kalo::sim::MemorySpooler spooler;
    spooler.queues = {{"Receipt COM1", "serial:/dev/ttyS0", true}};
    const kalo::test::KaloRun run = kalo::test::RunKaloctl({"--serial", "COM1", "status"}, machine, {&spooler});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Busy\n");
    EXPECT_EQ(run.err, "The print queue 'Receipt COM1' is printing a job on COM1: the port was not opened.\n");
    EXPECT_EQ(machine.lastOpenedPath, "");
    EXPECT_EQ(spooler.changes, 0);
}

} // namespace
