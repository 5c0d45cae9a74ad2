#include "WatchMetrics.h"

#include <CivetServer.h>
#include <civetweb.h>
#include <prometheus/exposer.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cctype>
#include <exception>
#include <mutex>
#include <thread>

namespace kalo::cli {

namespace {

bool AllDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Four dotted decimal numbers of 0..255: the web server takes no host names.
bool IsIpv4(const std::string& text)
{
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t end = part < 3 ? text.find('.', start) : text.size();
        if (end == std::string::npos)
            return false;
        const std::string number = text.substr(start, end - start);
        if (!AllDigits(number) || number.size() > 3 || std::stoi(number) > 255)
            return false;
        start = end + 1;
    }
    return true;
}

bool IsIpv6(const std::string& text)
{
    return text.find(':') != std::string::npos && std::all_of(text.begin(), text.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
           });
}

bool ParsePort(const std::string& text, int& port, std::string& error)
{
    if (!AllDigits(text) || text.size() > 5 || std::stoi(text) > 65535) {
        error = "--metrics: \"" + text + "\" is not a port (0 to 65535)";
        return false;
    }
    port = std::stoi(text);
    return true;
}

std::string HostPort(const MetricsAddress& address)
{
    const bool v6 = address.host.find(':') != std::string::npos;
    return (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

// What civetweb says while the exposer starts, on the thread starting it:
// its exception only says that something went wrong.
thread_local std::string* t_serverLog = nullptr;

int LogMessage(const mg_connection*, const char* message)
{
    if (t_serverLog && t_serverLog->empty())
        *t_serverLog = message;
    return 1; // nothing on standard error: what matters is said by Serve's error
}

// "cannot bind to 127.0.0.1:9464: 98 (Address already in use)" -> "Address already in use".
std::string Reason(const std::string& log, const char* fallback)
{
    const size_t open = log.rfind(" (");
    if (open != std::string::npos && !log.empty() && log.back() == ')')
        return log.substr(open + 2, log.size() - open - 3);
    return log.empty() ? fallback : log;
}

constexpr std::array kStates = {PrinterState::Ready,   PrinterState::PaperNearEnd, PrinterState::PaperOut,
                                PrinterState::CoverOpen, PrinterState::Offline,    PrinterState::Error,
                                PrinterState::Busy,    PrinterState::Unknown,      PrinterState::Unreachable};
constexpr std::array kPapers = {PaperState::Ok, PaperState::NearEnd, PaperState::Out, PaperState::Unknown};
constexpr std::array kErrorKinds = {"cutter", "unrecoverable", "auto", "error"};

// mg_check_feature's bit for a civetweb built with IPv6.
constexpr unsigned kCivetwebIpv6 = 8;

using GaugeFamily = prometheus::Family<prometheus::Gauge>;

// The registry collected under the lock the updates take, so that a scrape
// never sees a poll half applied (no state, or two, at 1).
struct LockedRegistry final : prometheus::Collectable {
    std::vector<prometheus::MetricFamily> Collect() const override
    {
        const std::lock_guard lock(mutex);
        return registry.Collect();
    }
    mutable std::mutex mutex;
    prometheus::Registry registry;
};

class PrometheusMetrics final : public WatchMetrics {
public:
    explicit PrometheusMetrics(std::shared_ptr<LockedRegistry> metrics) : m_metrics(std::move(metrics))
    {
        mg_init_library(0); // for the client connections of the destructor
    }

    // civetweb's listener looks at its stop flag only between waits of two
    // seconds for a connection: a connection made while it stops wakes it, so
    // that watch ends within a second of a signal.
    ~PrometheusMetrics() override
    {
        if (!m_exposer) {
            mg_exit_library();
            return;
        }
        std::atomic<bool> stopped = false;
        std::thread waker([this, &stopped] {
            const std::string host = m_host == "0.0.0.0" ? "127.0.0.1" : m_host;
            while (!stopped) {
                char error[128];
                if (mg_connection* connection = mg_connect_client(host.c_str(), m_port, 0, error, sizeof error))
                    mg_close_connection(connection);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        m_exposer.reset();
        stopped = true;
        waker.join();
        mg_exit_library();
    }

    bool Start(const MetricsAddress& address, std::string& error)
    {
        const std::string where = HostPort(address);
        if (address.host.find(':') != std::string::npos && !mg_check_feature(kCivetwebIpv6)) {
            error = "--metrics: cannot listen on " + where + ": this system's civetweb was built without IPv6";
            return false;
        }
        CivetCallbacks callbacks;
        callbacks.log_message = LogMessage;
        std::string log;
        t_serverLog = &log;
        try {
            // Two threads: a scrape at a time, and one left for a slow client.
            m_exposer = std::make_unique<prometheus::Exposer>(
                std::vector<std::string>{"listening_ports", where, "num_threads", "2"}, &callbacks);
        } catch (const std::exception& failure) {
            t_serverLog = nullptr;
            error = "--metrics: cannot listen on " + where + ": " + Reason(log, failure.what());
            return false;
        }
        t_serverLog = nullptr;
        const std::vector<int> ports = m_exposer->GetListeningPorts();
        MetricsAddress listened = address;
        listened.port = ports.empty() ? address.port : ports.front();
        m_url = "http://" + HostPort(listened) + "/metrics";
        m_host = listened.host;
        m_port = listened.port;
        m_exposer->RegisterCollectable(m_metrics);
        return true;
    }

    std::string Url() const override { return m_url; }

    void Polled(const std::string& target, const RealTimeStatus& status, double seconds, double unixTime) override
    {
        const std::lock_guard lock(m_metrics->mutex);
        m_up.Add({{"target", target}}).Set(status.Answered() ? 1 : 0);
        for (const PrinterState state : kStates)
            m_state.Add({{"target", target}, {"state", PrinterStateWord(state)}}).Set(state == status.state ? 1 : 0);
        for (const PaperState paper : kPapers)
            m_paper.Add({{"target", target}, {"state", PaperStateWord(paper)}}).Set(paper == status.paper ? 1 : 0);
        Known(m_coverOpen, {{"target", target}}, status.coverOpen);
        Known(m_offline, {{"target", target}}, status.offline);
        for (const char* kind : kErrorKinds) {
            std::optional<bool> has;
            if (status.errors)
                has = std::find(status.errors->begin(), status.errors->end(), kind) != status.errors->end();
            Known(m_error, {{"target", target}, {"kind", kind}}, has);
        }
        m_pollSeconds.Add({{"target", target}}).Set(seconds);
        m_lastPoll.Add({{"target", target}}).Set(unixTime);
    }

    void Drift(const std::string& target, std::optional<bool> drift) override
    {
        const std::lock_guard lock(m_metrics->mutex);
        Known(m_drift, {{"target", target}}, drift);
    }

private:
    // A value not known is no series at all: a 0 would say "closed", "none".
    static void Known(GaugeFamily& family, const prometheus::Labels& labels, std::optional<bool> value)
    {
        if (value)
            family.Add(labels).Set(*value ? 1 : 0);
        else if (family.Has(labels))
            family.Remove(&family.Add(labels));
    }

    GaugeFamily& Family(const char* name, const char* help)
    {
        return prometheus::BuildGauge().Name(name).Help(help).Register(m_metrics->registry);
    }

    std::shared_ptr<LockedRegistry> m_metrics;
    GaugeFamily& m_up = Family("kalo_up", "1 when the printer answered its last poll, 0 when it did not.");
    GaugeFamily& m_state = Family("kalo_state", "The printer's state: 1 for the state it is in, 0 for the others.");
    GaugeFamily& m_paper = Family("kalo_paper", "The paper roll: 1 for what the sensor reports, 0 for the others.");
    GaugeFamily& m_coverOpen = Family("kalo_cover_open", "1 when the cover is open; left out when not known.");
    GaugeFamily& m_offline = Family("kalo_offline", "1 when the printer is off line; left out when not known.");
    GaugeFamily& m_error =
        Family("kalo_error", "1 when the printer reports an error of this kind; left out when not known.");
    GaugeFamily& m_pollSeconds = Family("kalo_poll_seconds", "How long the last poll took, in seconds.");
    GaugeFamily& m_lastPoll =
        Family("kalo_last_poll_timestamp_seconds", "When the last poll ended, in seconds since the epoch.");
    GaugeFamily& m_drift = Family("kalo_profile_drift",
                                  "1 when the printer no longer holds the profile, 0 when it does; left out when not known.");
    std::string m_url;
    std::string m_host;
    int m_port = 0;
    // Last: the server stops before what it serves goes.
    std::unique_ptr<prometheus::Exposer> m_exposer;
};

} // namespace

bool ParseMetricsAddress(const std::string& text, MetricsAddress& address, std::string& error)
{
    MetricsAddress parsed;
    std::string port = text;
    if (text.empty()) {
        error = "--metrics: no port given ([ADDRESS:]PORT)";
        return false;
    }
    if (text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos || !IsIpv6(text.substr(1, close - 1))) {
            error = "--metrics: \"" + text + "\" does not start with an IPv6 address in brackets";
            return false;
        }
        if (close + 1 >= text.size() || text[close + 1] != ':' || close + 2 == text.size()) {
            error = "--metrics: no port after \"" + text.substr(0, close + 1) + "\" ([ADDRESS:]PORT)";
            return false;
        }
        parsed.host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else if (std::count(text.begin(), text.end(), ':') > 1) {
        error = "--metrics: an IPv6 address goes in brackets, as in [::1]:9464";
        return false;
    } else if (const size_t colon = text.find(':'); colon != std::string::npos || text.find('.') != std::string::npos) {
        parsed.host = text.substr(0, colon);
        if (!IsIpv4(parsed.host)) {
            error = "--metrics: \"" + parsed.host + "\" is not an IPv4 address";
            return false;
        }
        if (colon == std::string::npos || colon + 1 == text.size()) {
            error = "--metrics: no port after \"" + parsed.host + "\" ([ADDRESS:]PORT)";
            return false;
        }
        port = text.substr(colon + 1);
    }
    if (!ParsePort(port, parsed.port, error))
        return false;
    address = parsed;
    return true;
}

std::unique_ptr<WatchMetrics> WatchMetrics::Serve(const MetricsAddress& address, std::string& error)
{
    try {
        auto metrics = std::make_unique<PrometheusMetrics>(std::make_shared<LockedRegistry>());
        if (!metrics->Start(address, error))
            return nullptr;
        return metrics;
    } catch (const std::exception& failure) {
        error = "--metrics: cannot serve the metrics: " + std::string(failure.what());
        return nullptr;
    }
}

} // namespace kalo::cli
