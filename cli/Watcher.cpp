#include "Watcher.h"

#include "connect/PrinterSession.h"
#include "platform/ConsoleMessageSink.h"
#include "platform/ForwardingPlatform.h"
#include "platform/Interruption.h"
#include "status/StatusApply.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <sstream>
#include <thread>

namespace kalo::cli {

namespace {

// How often the waiting thread looks whether the program was interrupted:
// well inside the second an interruption may take to end the watch.
constexpr int64_t kInterruptionLookMicros = 100'000;
// One listing of the print queues serves every poll within this time, so a
// fleet polled at once asks the spooler once, not once a printer.
constexpr int64_t kQueueListMicros = 1'000'000;

double UnixNow()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The spooler as the watch may use it: the queues listed (shared by the
// polls of one moment), never held, never changed.
class QueueReader final : public platform::Spooler {
public:
    QueueReader(platform::Spooler& inner, platform::Clock& clock)
        : m_inner(inner)
        , m_clock(clock)
    {
    }
    bool ListQueues(std::vector<platform::SpoolerQueue>& queues) override
    {
        std::lock_guard lock(m_lock);
        const int64_t now = m_clock.NowMicros();
        if (!m_listedAt || now - *m_listedAt >= kQueueListMicros) {
            m_listed = m_inner.ListQueues(m_queues);
            m_listedAt = now;
        }
        queues = m_queues;
        return m_listed;
    }
    bool GetDeviceUri(const std::string&, std::string&) override { return false; }
    bool SetDeviceUri(const std::string&, const std::string&) override { return false; }

private:
    platform::Spooler& m_inner;
    platform::Clock& m_clock;
    std::mutex m_lock;
    std::optional<int64_t> m_listedAt;
    bool m_listed = false;
    std::vector<platform::SpoolerQueue> m_queues;
};

// What a port says in a message box when it cannot open goes nowhere: the
// reading's reason has it, and a printer down for an hour would otherwise
// repeat it every poll.
class QuietMessages final : public platform::MessageSink {
public:
    using platform::MessageSink::Show;
    void Show(const std::string&, const std::string&, platform::MessageIcon, const std::string&) override {}
};

// The platform as it is, its message boxes kept quiet.
class PollPlatform final : public platform::ForwardingPlatform {
public:
    using ForwardingPlatform::ForwardingPlatform;
    platform::MessageSink& Messages() override { return m_quiet; }

private:
    QuietMessages m_quiet;
};

// What the status read's check says when the printer does not answer it.
class KeptMessages final : public platform::MessageSink {
public:
    using platform::MessageSink::Show;
    void Show(const std::string& text, const std::string&, platform::MessageIcon, const std::string& detail) override
    {
        last = detail.empty() ? text : text + " " + detail;
    }
    std::string last;
};

struct Job {
    size_t target = 0;
    bool drift = false;
};

} // namespace

struct Watcher::State {
    PollPlatform platform;
    const CRegistryKey& registry;
    std::vector<Target> targets;
    WatchSettings settings;
    QueueReader queues;

    std::mutex lock;
    std::condition_variable jobsReady, readingsReady;
    std::deque<Job> jobs;
    std::deque<WatchReading> readings;
    bool stopping = false;

    State(platform::Platform& os, platform::Spooler& spooler, const CRegistryKey& names, std::vector<Target> printers,
          WatchSettings how)
        : platform(os)
        , registry(names)
        , targets(std::move(printers))
        , settings(std::move(how))
        , queues(spooler, os.GetClock())
    {
    }

    WatchReading Poll(const Job& job);
    void ReadDrift(PrinterSession& session, WatchReading& reading);
    void Work();
};

WatchReading Watcher::State::Poll(const Job& job)
{
    platform::Clock& clock = platform.GetClock();
    const int64_t started = clock.NowMicros();
    WatchReading reading;
    reading.target = job.target;
    reading.driftDue = job.drift;
    std::ostringstream unshown;
    const SessionRequest request{targets[job.target].connection, platform, queues, registry, unshown, settings.pace};
    SessionOpening opening = PrinterSession::OpenUnidentified(request);
    if (opening.session) {
        CPrinterPort& port = opening.session->Port();
        reading.status = ReadRealTimeStatus(port, opening.session->Interface());
        if (reading.status.state == PrinterState::Unknown || reading.status.state == PrinterState::Unreachable)
            reading.reason = UnreadReason(port);
        if (job.drift)
            ReadDrift(*opening.session, reading);
    } else {
        reading.status = RealTimeStatus::Unread(opening.failure == SessionFailure::Busy ? PrinterState::Busy
                                                                                         : PrinterState::Unreachable);
        reading.reason = platform::ConsoleMessageSink::PlainLines(opening.message);
        std::replace(reading.reason.begin(), reading.reason.end(), '\n', ' ');
        if (!opening.detail.empty())
            reading.reason += (reading.reason.empty() ? "" : ": ") + opening.detail;
        if (job.drift)
            reading.driftReason = "the port was not opened";
    }
    reading.seconds = double(clock.NowMicros() - started) / 1e6;
    reading.unixTime = UnixNow();
    return reading;
}

void Watcher::State::ReadDrift(PrinterSession& session, WatchReading& reading)
{
    if (!reading.status.Answered()) {
        reading.driftReason = "the printer did not answer its status requests";
        return;
    }
    ProgressState progress;
    KeptMessages messages;
    StatusRun run(session.Port(), session.Interface(), platform.GetClock(), messages, progress);
    const StatusRun::Reading switches = run.ReadPrinter();
    if (!switches.whole) {
        reading.driftReason = switches.reason;
        if (!messages.last.empty())
            reading.driftReason += ": " + messages.last;
        return;
    }
    reading.drift = Differences(*settings.profile, run.Held());
}

void Watcher::State::Work()
{
    for (;;) {
        Job job;
        {
            std::unique_lock guard(lock);
            jobsReady.wait(guard, [this] { return stopping || !jobs.empty(); });
            if (stopping)
                return;
            job = jobs.front();
            jobs.pop_front();
        }
        WatchReading reading = Poll(job);
        std::lock_guard guard(lock);
        readings.push_back(std::move(reading));
        readingsReady.notify_one();
    }
}

Watcher::Watcher(platform::Platform& platform, platform::Spooler& spooler, const CRegistryKey& registry,
                 std::vector<Target> targets, WatchSettings settings)
    : m_state(std::make_unique<State>(platform, spooler, registry, std::move(targets), std::move(settings)))
{
}

Watcher::~Watcher() = default;

void Watcher::Run(WatchObserver& observer)
{
    State& s = *m_state;
    platform::Clock& clock = s.platform.GetClock();
    const size_t count = s.targets.size();
    const bool drift = s.settings.profile && s.settings.driftMicros > 0;
    const int64_t start = clock.NowMicros();
    // Each printer's next poll and next drift read; a printer is polled
    // again only once its last poll has ended, so two never overlap.
    std::vector<int64_t> due(count, start), driftDue(count, start);
    std::vector<bool> polling(count, false);

    std::vector<std::thread> workers;
    for (size_t i = 0; i < std::min(s.settings.jobs, count); ++i)
        workers.emplace_back([&s] { s.Work(); });

    std::unique_lock guard(s.lock);
    while (!platform::Interrupted()) {
        const int64_t now = clock.NowMicros();
        int64_t next = now + kInterruptionLookMicros;
        for (size_t i = 0; i < count; ++i) {
            if (polling[i])
                continue;
            if (due[i] <= now) {
                const bool driftNow = drift && driftDue[i] <= now;
                s.jobs.push_back({i, driftNow});
                polling[i] = true;
                // A poll that ran past its turn is not made up for: the
                // next one keeps to the interval's beat from the start.
                do
                    due[i] += s.settings.intervalMicros;
                while (due[i] <= now);
                if (driftNow) {
                    do
                        driftDue[i] += s.settings.driftMicros;
                    while (driftDue[i] <= now);
                }
                s.jobsReady.notify_one();
            } else {
                next = std::min(next, due[i]);
            }
        }
        s.readingsReady.wait_for(guard, std::chrono::microseconds(std::max<int64_t>(next - now, 0)),
                                 [&s] { return !s.readings.empty() || platform::Interrupted(); });
        while (!s.readings.empty() && !platform::Interrupted()) {
            const WatchReading reading = std::move(s.readings.front());
            s.readings.pop_front();
            polling[reading.target] = false;
            guard.unlock();
            observer.Polled(s.targets[reading.target], reading);
            guard.lock();
        }
    }
    s.stopping = true;
    s.jobsReady.notify_all();
    guard.unlock();
    for (std::thread& worker : workers)
        worker.join();
}

} // namespace kalo::cli
