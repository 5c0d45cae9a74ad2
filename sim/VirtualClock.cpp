#include "VirtualClock.h"

#include "platform/Interruption.h"

#include <numeric>

namespace kalo::sim {

void VirtualClock::SleepMs(uint32_t ms)
{
    // As the system clock: an interrupted program waits no more.
    if (platform::Interrupted())
        return;
    m_sleeps.push_back(ms);
    m_now += int64_t(ms) * 1000;
}

void VirtualClock::AdvanceTo(int64_t micros)
{
    if (micros > m_now)
        m_now = micros;
}

uint64_t VirtualClock::TotalSleptMs() const
{
    return std::accumulate(m_sleeps.begin(), m_sleeps.end(), uint64_t(0));
}

} // namespace kalo::sim
