#pragma once

#include "Clock.h"

#include <algorithm>
#include <cstdint>

namespace kalo::platform {

// The end of a bounded wait, on a clock: every loop that waits in steps
// (a read that takes bytes as they come, a write the device takes piece by
// piece, a retry after a short sleep) asks it what is left, so the steps
// never add up to more than the bound. On the virtual clock the same loops
// run the same timeline without waiting.
//
// A read's interval bound is kept here too: once a byte has come
// (Progress), the wait also ends intervalMicros after the last one.
class Deadline {
public:
    // Starts now; a bound of 0 or less has already passed.
    Deadline(Clock& clock, int64_t totalMicros, int64_t intervalMicros = 0)
        : m_clock(clock)
        , m_end(clock.NowMicros() + std::max<int64_t>(0, totalMicros))
        , m_interval(intervalMicros)
    {
    }

    // A byte came: with an interval, the wait now ends at most that long after it.
    void Progress()
    {
        m_lastByte = m_clock.NowMicros();
        m_progressed = true;
    }

    // The microseconds left, never below 0.
    int64_t Remaining() const { return std::max<int64_t>(0, End() - m_clock.NowMicros()); }
    bool Expired() const { return Remaining() == 0; }

private:
    int64_t End() const
    {
        return m_interval > 0 && m_progressed ? std::min(m_end, m_lastByte + m_interval) : m_end;
    }

    Clock& m_clock;
    int64_t m_end;
    int64_t m_interval;
    int64_t m_lastByte = 0;
    bool m_progressed = false;
};

} // namespace kalo::platform
