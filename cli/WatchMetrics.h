#pragma once

#include "status/RealTimeStatus.h"

#include <memory>
#include <optional>
#include <string>

namespace kalo::cli {

// Where --metrics serves: "[ADDRESS:]PORT" (an IPv6 address in brackets),
// the address 127.0.0.1 unless one is named, port 0 for a free one. False
// with what is wrong ("--metrics: ... ").
struct MetricsAddress {
    std::string host = "127.0.0.1";
    int port = 0;
};
bool ParseMetricsAddress(const std::string& text, MetricsAddress& address, std::string& error);

// The watched printers in the Prometheus text format at /metrics, served
// by prometheus-cpp's exposer. Every series carries target="NAME"; a value
// not known is left out, never given as 0. Callable from any thread.
class WatchMetrics {
public:
    // Listening on the address; null with the reason when it cannot be.
    static std::unique_ptr<WatchMetrics> Serve(const MetricsAddress& address, std::string& error);
    virtual ~WatchMetrics() = default;
    // "http://127.0.0.1:PORT/metrics", the port the one listened on.
    virtual std::string Url() const = 0;
    // One poll: kalo_up (status.Answered()), kalo_state, kalo_paper, kalo_cover_open,
    // kalo_offline, kalo_error{kind}, kalo_poll_seconds, kalo_last_poll_timestamp_seconds.
    virtual void Polled(const std::string& target, const RealTimeStatus& status, double seconds, double unixTime) = 0;
    // kalo_profile_drift: 1 the printer no longer holds the profile, 0 it
    // does, none when the last read could not tell (the series left out).
    virtual void Drift(const std::string& target, std::optional<bool> drift) = 0;
};

} // namespace kalo::cli
