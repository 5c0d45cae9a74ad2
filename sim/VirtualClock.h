#pragma once

#include "platform/Clock.h"

#include <vector>

namespace kalo::sim {

// A clock that never blocks: sleeping moves time forward. In-process devices
// advance it too while a read or write "waits", so a test sees the exchange's
// whole timeline in microseconds of real time. Once the program is
// interrupted, sleeps neither pass nor count.
class VirtualClock final : public platform::Clock {
public:
    int64_t NowMicros() override { return m_now; }
    void SleepMs(uint32_t ms) override;

    // Used by in-process devices to let time pass without it counting as a sleep.
    void AdvanceTo(int64_t micros);
    void AdvanceBy(int64_t micros) { AdvanceTo(m_now + micros); }

    // Every SleepMs call in order, for asserting the protocol's fixed waits.
    const std::vector<uint32_t>& Sleeps() const { return m_sleeps; }
    uint64_t TotalSleptMs() const;
    void ClearSleeps() { m_sleeps.clear(); }

private:
    int64_t m_now = 0;
    std::vector<uint32_t> m_sleeps;
};

} // namespace kalo::sim
