#pragma once

#include "connect/CRegistryKey.h"
#include "connect/TargetsFile.h"
#include "platform/Platform.h"
#include "platform/Spooler.h"
#include "port/Pace.h"
#include "status/Profile.h"
#include "status/RealTimeStatus.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kalo::cli {

// How the printers are watched.
struct WatchSettings {
    int64_t intervalMicros = 30'000'000;
    size_t jobs = 8; // polls at a time
    Pace pace = Pace::Fixed;
    // With a profile, the switches are read every driftMicros and compared with it.
    std::optional<StatusTarget> profile;
    int64_t driftMicros = 0;
};

// What one poll of a printer found.
struct WatchReading {
    size_t target = 0; // index in the targets
    RealTimeStatus status;
    // Why the state was not read whole: the port's words, or the reason the
    // port did not open; empty when it was.
    std::string reason;
    double seconds = 0;  // how long the poll took
    double unixTime = 0; // when it ended
    // A drift read was due at this poll.
    bool driftDue = false;
    // When it was due and the switches came whole: where the printer differs
    // from the profile, from the profile's value to the printer's (empty: it holds it).
    std::optional<std::vector<StatusDifference>> drift;
    std::string driftReason; // why it was due and not read
};

// Told of each poll as it ends, on the thread that runs the watcher, one at a time.
class WatchObserver {
public:
    virtual ~WatchObserver() = default;
    virtual void Polled(const Target& target, const WatchReading& reading) = 0;
};

// Polls every target's real-time status once an interval, at most jobs at a
// time, each poll on a connection of its own opened and closed again (a
// network printer takes one connection at a time, and the till's jobs must
// get through between polls). The spooler queues are read (a port a queue
// is printing on is busy, not opened), never changed. Nothing is written to
// a printer but the status requests and, with a profile, the status read's.
class Watcher {
public:
    Watcher(platform::Platform& platform, platform::Spooler& spooler, const CRegistryKey& registry,
            std::vector<Target> targets, WatchSettings settings);
    ~Watcher();
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;
    // Polls until the program is interrupted (platform/Interruption.h); the
    // polls under way end at once then, and Run returns.
    void Run(WatchObserver& observer);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace kalo::cli
