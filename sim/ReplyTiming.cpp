#include "ReplyTiming.h"

#include <algorithm>

namespace kalo::sim {

namespace {
// Salted, so that with one seed the delays are not the garbage fault's bytes.
std::mt19937 Draws(uint32_t seed)
{
    std::seed_seq sequence{seed, uint32_t(0x736c6f77)};
    return std::mt19937(sequence);
}
} // namespace

ReplyTiming::ReplyTiming(const PrinterOptions& options)
    : m_lowMs(options.slowDelayMs)
    , m_highMs(std::max(options.slowDelayMs, options.slowDelayMaxMs))
    , m_gapMicros(int64_t(options.slowGapMs) * 1000)
    , m_late(options.lateReplies)
    , m_draws(Draws(options.seed))
{
}

int64_t ReplyTiming::NextDelayMicros(bool realTime)
{
    ++m_replies;
    // Every reply takes its draw, a late one too, so making one reply late
    // leaves the others' delays as they were. The generator's own output is
    // used rather than a distribution, whose results differ between standard
    // libraries, so a seed replays anywhere.
    uint32_t ms = m_lowMs;
    if (m_highMs > m_lowMs)
        ms += uint32_t(m_draws() % (m_highMs - m_lowMs + 1));
    if (realTime)
        ms = 0; // the slow fault slows the printer's processing, which real-time commands bypass
    const auto late = m_late.find(m_replies);
    if (late != m_late.end())
        ms = late->second;
    return int64_t(ms) * 1000;
}

} // namespace kalo::sim
