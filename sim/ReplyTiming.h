#pragma once

#include "PrinterOptions.h"

#include <cstdint>
#include <map>
#include <random>

namespace kalo::sim {

// When each of the printer's replies goes out: the slow fault's delay before
// it (fixed, or drawn anew for each reply from a range), the gap between its
// bytes, and a late reply's own delay. The in-process link and kalo-vprinter
// both take their times from here, so they count replies alike and the same
// seed gives the same delays on either.
class ReplyTiming {
public:
    explicit ReplyTiming(const PrinterOptions& options);

    // The delay before the next reply, in microseconds from its query (past
    // the link's own turn-around); counts that reply. A real-time answer
    // waits for nothing but its late fault.
    int64_t NextDelayMicros(bool realTime = false);
    int64_t GapMicros() const { return m_gapMicros; }

private:
    uint32_t m_lowMs;
    uint32_t m_highMs;
    int64_t m_gapMicros;
    std::map<uint64_t, uint32_t> m_late;
    uint64_t m_replies = 0;
    std::mt19937 m_draws;
};

} // namespace kalo::sim
