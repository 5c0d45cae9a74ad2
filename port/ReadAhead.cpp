#include "ReadAhead.h"

#include "platform/Interruption.h"

#include <algorithm>
#include <cstring>

namespace kalo {

namespace {
// The longest a wait blocks in one go, so a window stays painted.
constexpr int64_t kSliceMicros = 40000;
// How long a wait naps when its device comes back empty before its time.
constexpr int64_t kNapMicros = 10000;
} // namespace

ReadAhead::Outcome ReadAhead::Await(platform::Clock& clock, int64_t boundMicros, const ReplyShape& shape,
                                    int64_t settleMicros, const Source& source, bool keep)
{
    Outcome outcome;
    if (!keep)
        Discard();
    if (keep && m_settled && shape.WholeIn(Held())) {
        outcome.whole = true;
        return outcome;
    }
    m_settled = false;
    const int64_t start = clock.NowMicros();
    const int64_t end = start + std::max<int64_t>(0, boundMicros);
    // The quiet after a reply counts from its last byte.
    int64_t lastByte = start;
    uint8_t dropped[64];
    while (!platform::Interrupted()) {
        const int64_t now = clock.NowMicros();
        if (now >= end)
            break;
        const bool whole = shape.WholeIn(Held());
        if (whole && now - lastByte >= settleMicros) {
            m_settled = outcome.whole = true;
            break;
        }
        if (keep && m_begin > 0 && m_end == m_bytes.size()) {
            std::memmove(m_bytes.data(), m_bytes.data() + m_begin, Size());
            m_end -= m_begin;
            m_begin = 0;
        }
        if (keep && m_end == m_bytes.size())
            break; // babbling: the reads take what is here
        uint8_t* into = keep ? m_bytes.data() + m_end : dropped;
        const uint32_t room = keep ? uint32_t(m_bytes.size() - m_end) : uint32_t(sizeof dropped);
        const int64_t until = whole ? std::min(end, lastByte + settleMicros) : end;
        const int64_t wait = std::min(until - now, kSliceMicros);
        const int n = source(into, room, wait);
        if (n < 0)
            break; // the link failed: the step's reads report it
        if (n > 0) {
            if (keep)
                m_end += uint32_t(n);
            lastByte = clock.NowMicros();
        } else if (const int64_t early = now + wait - clock.NowMicros(); early > 0) {
            // Back empty before its time (a zero-length packet, a device
            // that cannot wait): a short nap, so the wait never spins.
            clock.SleepUntilMicros(clock.NowMicros() + std::min<int64_t>(early, kNapMicros));
            continue;
        }
        // A clock that keeps a window painted does so between the slices.
        clock.SleepUntilMicros(clock.NowMicros());
    }
    outcome.micros = clock.NowMicros() - start;
    return outcome;
}

uint32_t ReadAhead::Take(uint8_t* buffer, uint32_t length)
{
    const uint32_t n = uint32_t(std::min<size_t>(length, Size()));
    std::memcpy(buffer, m_bytes.data() + m_begin, n);
    m_begin += n;
    if (m_begin == m_end)
        m_begin = m_end = 0;
    return n;
}

void ReadAhead::Discard()
{
    m_begin = m_end = 0;
}

} // namespace kalo
