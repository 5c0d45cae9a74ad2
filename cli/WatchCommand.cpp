#include "WatchCommand.h"

#include "ChangeHook.h"
#include "FleetTargets.h"
#include "RealTimeStatusCommand.h"
#include "StatusReport.h"
#include "WatchMetrics.h"
#include "Watcher.h"
#include "status/ProfileJson.h"

#include <charconv>
#include <ctime>
#include <mutex>

namespace kalo::cli {

namespace {

struct WatchRequest {
    std::string targets;
    double intervalSeconds = 30;
    int64_t jobs = 8;
    bool json = false;
    std::string onChange;
    std::string metrics;
    std::string profile;
    double driftMinutes = 0;
};

// The longest interval and drift period taken: a day. The shortest interval
// is a tenth of a second, for tests; a real fleet has no use below seconds.
constexpr double kShortestInterval = 0.1;
constexpr double kLongestSeconds = 86400;

std::optional<double> Decimal(const std::string& text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool IsInterval(const std::string& text)
{
    const auto seconds = Decimal(text);
    return seconds && *seconds >= kShortestInterval && *seconds <= kLongestSeconds;
}

bool IsDriftPeriod(const std::string& text)
{
    const auto minutes = Decimal(text);
    return minutes && *minutes * 60 >= kShortestInterval && *minutes * 60 <= kLongestSeconds;
}

const OptionTable<WatchRequest>& WatchTable()
{
    using Values = OptionValues;
    static const OptionTable<WatchRequest> table = {
        {TargetsFileOption(), [](WatchRequest& r, const OptionValue& v) { r.targets = v.text; }},
        {{"--interval", "SECONDS", "how often each printer is polled",
          Values::Text("seconds from 0.1 to 86400, fractions allowed", IsInterval), "30"},
         [](WatchRequest& r, const OptionValue& v) { r.intervalSeconds = *Decimal(v.text); }},
        {{"--jobs", "N", "how many printers are polled at a time", Values::Numbers({{1, 64}}), "8"},
         [](WatchRequest& r, const OptionValue& v) { r.jobs = v.number; }},
        {{"--json", "", "one JSON object a line per change: {\"time\", \"name\", \"uri\", \"from\", \"to\", \"status\"}",
          Values::None()},
         [](WatchRequest& r, const OptionValue&) { r.json = true; }},
        {{"--on-change", "PROGRAM", "run PROGRAM NAME URI FROM TO (no shell) for each change, 10 s at most",
          Values::Text("a program")},
         [](WatchRequest& r, const OptionValue& v) { r.onChange = v.text; }},
        {{"--metrics", "[ADDRESS:]PORT", "serve the states to Prometheus at http://ADDRESS:PORT/metrics",
          Values::Text("a port, or ADDRESS:PORT (127.0.0.1 unless named; port 0 takes a free one)")},
         [](WatchRequest& r, const OptionValue& v) { r.metrics = v.text; }},
        {{"--profile", "FILE", "with --drift-every: the profile the printers should hold",
          Values::Text("a profile or .sts file")},
         [](WatchRequest& r, const OptionValue& v) { r.profile = v.text; }},
        {{"--drift-every", "MINUTES", "read each printer's switches this often and report drift from --profile",
          Values::Text("minutes, fractions allowed, up to a day", IsDriftPeriod)},
         [](WatchRequest& r, const OptionValue& v) { r.driftMinutes = *Decimal(v.text); }},
    };
    return table;
}

// "2026-12-08T05:00:01Z"
std::string UtcTime(double unixTime)
{
    const std::time_t seconds = std::time_t(unixTime);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

// The word a printer had before its first poll: it had none.
constexpr const char* kNoState = "none";

// Each printer's last state and drift, and what a change sets going.
class WatchReport final : public WatchObserver {
public:
    WatchReport(std::ostream& out, bool json, ChangeHook* hook, WatchMetrics* metrics, size_t count)
        : m_out(out)
        , m_json(json)
        , m_hook(hook)
        , m_metrics(metrics)
        , m_states(count)
        , m_drift(count)
    {
    }

    void Polled(const Target& target, const WatchReading& reading) override
    {
        if (m_metrics) {
            m_metrics->Polled(target.name, reading.status, reading.seconds, reading.unixTime);
            if (reading.driftDue)
                m_metrics->Drift(target.name,
                                 reading.drift ? std::optional<bool>(!reading.drift->empty()) : std::nullopt);
        }
        std::optional<PrinterState>& last = m_states[reading.target];
        if (!last || *last != reading.status.state) {
            StateChanged(target, reading, last);
            last = reading.status.state;
        }
        if (reading.drift) {
            std::string differences;
            for (const StatusDifference& difference : *reading.drift)
                differences += DifferenceText(difference) + '\n';
            std::optional<std::string>& held = m_drift[reading.target];
            // A printer found holding the profile at its first read is no news.
            if (held ? *held != differences : !differences.empty())
                DriftChanged(target, reading);
            held = differences;
        }
    }

private:
    void StateChanged(const Target& target, const WatchReading& reading, const std::optional<PrinterState>& last)
    {
        const std::string from = last ? PrinterStateWord(*last) : kNoState;
        const std::string to = PrinterStateWord(reading.status.state);
        if (m_json) {
            Line(Json{{"time", UtcTime(reading.unixTime)},
                      {"name", target.name},
                      {"uri", target.uri},
                      {"from", last ? Json(from) : Json(nullptr)},
                      {"to", to},
                      {"status", RealTimeStatusJson(reading.status)}});
        } else {
            std::string line = UtcTime(reading.unixTime) + " " + target.name + " " + from + " -> " + to + ": "
                + reading.status.Text();
            if (!reading.reason.empty())
                line += " (" + reading.reason + ")";
            Line(line);
        }
        if (m_hook)
            m_hook->Queue({target.name, target.uri, from, to});
    }

    void DriftChanged(const Target& target, const WatchReading& reading)
    {
        const std::vector<StatusDifference>& differences = *reading.drift;
        if (m_json) {
            Line(Json{{"time", UtcTime(reading.unixTime)},
                      {"name", target.name},
                      {"uri", target.uri},
                      {"drift", !differences.empty()},
                      {"differences", DifferencesJson(differences)}});
            return;
        }
        std::string line = UtcTime(reading.unixTime) + " " + target.name;
        if (differences.empty()) {
            Line(line + " holds the profile again");
            return;
        }
        line += " drifted from the profile:";
        for (size_t i = 0; i < differences.size(); ++i)
            line += (i == 0 ? " " : "; ") + DifferenceText(differences[i]);
        Line(line);
    }

    void Line(const std::string& line) { m_out << line << '\n' << std::flush; }
    void Line(const Json& json) { Line(json.dump(-1, ' ', false, Json::error_handler_t::replace)); }

    std::ostream& m_out;
    bool m_json;
    ChangeHook* m_hook;
    WatchMetrics* m_metrics;
    std::vector<std::optional<PrinterState>> m_states;
    // The differences from the profile last read, as their lines.
    std::vector<std::optional<std::string>> m_drift;
};

} // namespace

const char* WatchCommand::Description() const
{
    return "Polls the real-time status of every printer of the targets file each\n"
           "interval, at most N at a time, in this one program. Each poll opens the\n"
           "port, sends DLE EOT 1 to 4 and nothing else, reads the answers within one\n"
           "second and closes the port again, so the till's own print jobs get\n"
           "through between polls; the print queues are read (a port a queue is\n"
           "printing on is busy and not opened), never held or changed. A line is\n"
           "printed when a printer's state changes, its first state included:\n"
           "\"TIME NAME FROM -> TO: TEXT\" (FROM is none at the first poll); a printer\n"
           "that stops answering turns unreachable once. --on-change runs PROGRAM\n"
           "for each change with NAME URI FROM TO as its arguments and as KALO_NAME,\n"
           "KALO_URI, KALO_FROM and KALO_TO, one at a time in order, each stopped after\n"
           "10 s. --metrics serves the states in the Prometheus text format; the first\n"
           "line on standard error says where. --profile with --drift-every reads each\n"
           "printer's switches that often and reports the pins that differ from the\n"
           "profile: that read sends the status check (initialise, select, automatic\n"
           "status back off), which resets the printer's print modes, and writes\n"
           "nothing. With --trace, one printer is polled at a time, so the trace reads\n"
           "in order. Runs until interrupted: exit 130 (Ctrl+C), 143 (SIGTERM) or 129\n"
           "(SIGHUP); 2 for a usage error or a targets file that is refused.\n";
}

std::vector<const OptionInfo*> WatchCommand::Options() const
{
    return Infos(WatchTable());
}

int WatchCommand::Execute(CommandContext& context)
{
    WatchRequest request;
    if (!TakeArguments(context, WatchTable(), request))
        return kExitUsage;
    MetricsAddress address;
    std::string error;
    if (request.targets.empty())
        error = "--targets FILE is missing";
    else if (request.profile.empty() != (request.driftMinutes == 0))
        error = "--profile and --drift-every go together";
    else if (!request.metrics.empty())
        ParseMetricsAddress(request.metrics, address, error);
    if (!error.empty()) {
        Refuse(context, error);
        return kExitUsage;
    }

    WatchSettings settings;
    settings.intervalMicros = int64_t(request.intervalSeconds * 1e6);
    // A trace written by several polls at once would mix their lines.
    settings.jobs = context.platform.Trace() ? 1 : size_t(request.jobs);
    settings.pace = context.pace;
    if (!request.profile.empty()) {
        Profile profile;
        if (!ProfileJson::Load(request.profile, profile, error)) {
            context.err << "kaloctl watch: " << error << '\n';
            return kExitUsage;
        }
        settings.profile = ResolveProfile(profile);
        settings.driftMicros = int64_t(request.driftMinutes * 60e6);
    }
    std::optional<FleetTargets> loaded = LoadFleetTargets(context, request.targets, "watch");
    if (!loaded)
        return kExitUsage;
    if (loaded->targets.empty()) {
        // Watching nothing until interrupted would look like a quiet fleet.
        context.err << "kaloctl watch: " << request.targets << " names no printer\n";
        return kExitUsage;
    }

    std::mutex errLock;
    std::unique_ptr<WatchMetrics> metrics;
    if (!request.metrics.empty()) {
        metrics = WatchMetrics::Serve(address, error);
        if (!metrics) {
            context.err << "kaloctl watch: " << error << '\n';
            return kExitFailed;
        }
        context.err << "metrics on " << metrics->Url() << '\n' << std::flush;
    }
    std::unique_ptr<ChangeHook> hook;
    if (!request.onChange.empty()) {
        hook = std::make_unique<ChangeHook>(context.platform, request.onChange, [&](const std::string& line) {
            std::lock_guard guard(errLock);
            context.err << line << '\n' << std::flush;
        });
    }
    std::ostream& out = context.live ? *context.live : context.out;
    const size_t count = loaded->targets.size();
    WatchReport report(out, request.json, hook.get(), metrics.get(), count);
    Watcher watcher(context.platform, context.spooler, context.registry, std::move(loaded->targets), settings);
    watcher.Run(report);
    return kExitOk;
}

} // namespace kalo::cli
