// kaloctl watch --metrics: what a scrape of /metrics reads, checked by promtool too.
#include "cli/WatchMetrics.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

// Each target is first seen with everything known, then as its row says (the
// four replies; none answered: unreachable): what became unknown is left out ("-" lines), never read as 0.
TEST(WatchMetrics, AScrapeReadsTheLastPollAndLeavesOutWhatIsNotKnown) {
    std::string error;
    const auto metrics = kalo::cli::WatchMetrics::Serve({}, error);
    ASSERT_TRUE(metrics) << error;
    const struct { const char* target; std::array<std::optional<uint8_t>, 4> replies; std::optional<bool> drift; const char* lines; } rows[] = {
        {"ready", {0x12, 0x12, 0x12, 0x12}, false,
         R"(kalo_up{target="ready"} 1|kalo_state{state="ready",target="ready"} 1|kalo_state{state="unknown",target="ready"} 0|kalo_paper{state="out",target="ready"} 0|)"
         R"(kalo_cover_open{target="ready"} 0|kalo_profile_drift{target="ready"} 0|kalo_error{kind="cutter",target="ready"} 0|kalo_poll_seconds{target="ready"} 0.25|)"
         R"(kalo_last_poll_timestamp_seconds{target="ready"} 1700000000)"},
        {"low", {0x12, {}, {}, 0x16}, std::nullopt,
         R"(kalo_paper{state="near-end",target="low"} 1|kalo_paper{state="ok",target="low"} 0|-kalo_cover_open{target="low"}|)"
         R"(kalo_state{state="unknown",target="low"} 1|kalo_offline{target="low"} 0|-kalo_profile_drift{target="low"}|-kalo_error{kind="auto",target="low"})"},
        {"gone", {}, true,
         R"(kalo_up{target="gone"} 0|kalo_state{state="unreachable",target="gone"} 1|kalo_paper{state="unknown",target="gone"} 1|)"
         R"(kalo_profile_drift{target="gone"} 1|-kalo_error{kind="cutter",target="gone"}|-kalo_offline{target="gone"})"},
        {"cut", {0x1A, 0x52, 0x1A, 0x12}, false,
         R"(kalo_error{kind="cutter",target="cut"} 1|kalo_error{kind="unrecoverable",target="cut"} 0|kalo_offline{target="cut"} 1)"}};
    for (const auto& row : rows) {
        metrics->Polled(row.target, kalo::DecodeRealTimeStatus({{0x12, 0x12, 0x12, 0x12}}), 0.5, 1);
        metrics->Drift(row.target, false);
        const auto status = row.replies[0] ? kalo::DecodeRealTimeStatus({row.replies}) : kalo::RealTimeStatus::Unread(kalo::PrinterState::Unreachable);
        metrics->Polled(row.target, status, 0.25, 1700000000);
        metrics->Drift(row.target, row.drift);
    }
    // The body on standard output, promtool's verdict the exit status.
    const auto scrape = kalo::test::RunProgram("/bin/sh", {"-c", "b=$(curl -sf \"$1\") && echo \"$b\" && echo \"$b\" | promtool check metrics >&2", "sh", metrics->Url()});
    EXPECT_EQ(scrape.status, 0) << scrape.err << scrape.out;
    for (const auto& row : rows) {
        std::istringstream lines(row.lines);
        for (std::string line; std::getline(lines, line, '|');)
            EXPECT_EQ(scrape.out.find(line[0] == '-' ? "\n" + line.substr(1) + " " : line + "\n") == std::string::npos, line[0] == '-') << line;
    }
    // Its port taken: said plainly, nothing thrown.
    const std::string port = metrics->Url().substr(17, metrics->Url().size() - 25);
    EXPECT_FALSE(kalo::cli::WatchMetrics::Serve({"127.0.0.1", std::stoi(port)}, error));
    EXPECT_EQ(error, "--metrics: cannot listen on 127.0.0.1:" + port + ": Address already in use");
}

TEST(WatchMetrics, TheAddressIsAPortOrAnAddressAndAPort) {
    const struct { const char* text; const char* host; int port; const char* error; } rows[] = {
        {"9464", "127.0.0.1", 9464, ""}, {"0", "127.0.0.1", 0, ""}, {"0.0.0.0:0", "0.0.0.0", 0, ""}, {"[::1]:9464", "::1", 9464, ""},
        {"192.168.1.20:65535", "192.168.1.20", 65535, ""}, {"", "", 0, "no port given"}, {"http", "", 0, R"("http" is not a port)"},
        {"65536", "", 0, "is not a port"}, {"-1", "", 0, "is not a port"}, {"127.0.0.1:", "", 0, "no port after"}, {"[::1]", "", 0, "no port after"},
        {"127.0.0.1", "", 0, "no port after"}, {"::1:9464", "", 0, "IPv6 address goes in brackets"}, {"256.0.0.1:80", "", 0, "not an IPv4 address"},
        {"localhost:9464", "", 0, "is not an IPv4 address"}, {"[fe80::1%eth0]:80", "", 0, "IPv6 address in brackets"}};
    kalo::cli::MetricsAddress address;
    std::string error;
    for (const auto& row : rows)
        EXPECT_TRUE(kalo::cli::ParseMetricsAddress(row.text, address, error) ? !*row.error && address.host == row.host && address.port == row.port
                                                                            : error.starts_with("--metrics: ") && error.find(row.error) != std::string::npos)
            << row.text << ": " << error;
    const auto v6 = kalo::cli::WatchMetrics::Serve({"::1", 0}, error);
    EXPECT_TRUE(v6 ? v6->Url().starts_with("http://[::1]:") : error.find("without IPv6") != std::string::npos) << error;
}

} // namespace
