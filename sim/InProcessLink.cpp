#include "InProcessLink.h"

#include <algorithm>
#include <utility>

namespace kalo::sim {

namespace {
// A device's input buffer holds this much; older noise is lost.
constexpr int64_t kInputBufferBytes = 4096;
} // namespace

InProcessLink::InProcessLink(VirtualPrinter& printer, ReplyTiming& timing, VirtualClock& clock, WireLog* log,
                             std::string name)
    : m_printer(printer)
    , m_timing(timing)
    , m_clock(clock)
    , m_log(log)
    , m_name(std::move(name))
{
    if (m_log && !m_name.empty())
        m_log->Link(clock.NowMicros() / 1000, true, m_name);
    if (printer.Options().noise)
        m_noiseNext = clock.NowMicros();
}

size_t InProcessLink::Write(const uint8_t* data, size_t length)
{
    if (m_hungUp || length == 0)
        return 0;
    size_t take = length;
    const int64_t closeAfter = m_printer.Options().closeAfter;
    if (closeAfter >= 0)
        take = size_t(std::min<int64_t>(int64_t(length), closeAfter - m_receivedCount));
    const int64_t now = m_clock.NowMicros();
    m_written.push_back({now, std::vector<uint8_t>(data, data + take)});
    if (m_log)
        m_log->Log(now / 1000, true, data, take);

    const int64_t start = std::max(now, m_txFreeAt);
    m_txFreeAt = start + int64_t(take) * m_byteMicros;
    m_reply.clear();
    m_replyEnds.clear();
    if (m_responder) {
        m_responder(data, take, m_reply);
        if (!m_reply.empty())
            m_replyEnds.push_back({m_reply.size()}); // whatever it says is one reply
    } else {
        m_printer.Receive(data, take, m_reply, &m_replyEnds);
    }
    m_receivedCount += int64_t(take);

    // Each reply waits its own delay from the query, and none overtakes the one before.
    const int64_t spacing = std::max(m_byteMicros, m_timing.GapMicros());
    size_t begin = 0;
    for (const auto& [end, realTime] : m_replyEnds) {
        int64_t at = m_txFreeAt + kTurnaroundMicros + m_timing.NextDelayMicros(realTime);
        if (m_log)
            m_log->Log(at / 1000, false, m_reply.data() + begin, end - begin);
        if (realTime) {
            // Ahead of every reply still waiting for its time.
            auto where = std::find_if(m_arrivals.begin(), m_arrivals.end(),
                                      [at](const Arrival& arrival) { return arrival.micros > at; });
            for (; begin < end; ++begin)
                where = m_arrivals.insert(where, {at, m_reply[begin]}) + 1;
            continue;
        }
        if (!m_arrivals.empty())
            at = std::max(at, m_arrivals.back().micros + spacing);
        for (; begin < end; ++begin) {
            m_arrivals.push_back({at, m_reply[begin]});
            at += spacing;
        }
    }
    if (closeAfter >= 0 && m_receivedCount >= closeAfter) {
        m_hungUp = true;
        m_noiseNext = -1;
        m_printer.EndOfStream();
    }
    return take;
}

int64_t InProcessLink::NextArrival()
{
    int64_t next = m_arrivals.empty() ? -1 : m_arrivals.front().micros;
    if (m_noiseNext >= 0 && (next < 0 || m_noiseNext < next))
        next = m_noiseNext;
    return next;
}

bool InProcessLink::WaitReadable(int64_t timeoutMicros)
{
    const int64_t now = m_clock.NowMicros();
    const int64_t next = NextArrival();
    if (next < 0 && m_hungUp)
        return false; // a closed line tells at once
    if (next < 0 || next > now + timeoutMicros) {
        m_clock.AdvanceTo(now + std::max<int64_t>(0, timeoutMicros));
        return false;
    }
    m_clock.AdvanceTo(next);
    return true;
}

size_t InProcessLink::ReadArrived(uint8_t* buffer, size_t length)
{
    const int64_t now = m_clock.NowMicros();
    if (m_noiseNext >= 0 && now - m_noiseNext > kInputBufferBytes * NoisePeriod())
        m_noiseNext = now - kInputBufferBytes * NoisePeriod();
    size_t n = 0;
    while (n < length) {
        const bool replyDue = !m_arrivals.empty() && m_arrivals.front().micros <= now;
        const bool noiseDue = m_noiseNext >= 0 && m_noiseNext <= now;
        if (replyDue && (!noiseDue || m_arrivals.front().micros <= m_noiseNext)) {
            buffer[n++] = m_arrivals.front().byte;
            m_arrivals.pop_front();
        } else if (noiseDue) {
            buffer[n++] = VirtualPrinter::kNoiseByte;
            m_noiseNext += NoisePeriod();
        } else {
            break;
        }
    }
    return n;
}

size_t InProcessLink::WaitDrained(int64_t timeoutMicros)
{
    const int64_t now = m_clock.NowMicros();
    if (m_txFreeAt <= now)
        return 0;
    if (m_txFreeAt <= now + timeoutMicros) {
        m_clock.AdvanceTo(m_txFreeAt);
        return 0;
    }
    m_clock.AdvanceTo(now + timeoutMicros);
    const int64_t left = m_txFreeAt - m_clock.NowMicros();
    return m_byteMicros > 0 ? size_t((left + m_byteMicros - 1) / m_byteMicros) : 0;
}

void InProcessLink::DropOutput()
{
    m_txFreeAt = std::min(m_txFreeAt, m_clock.NowMicros());
}

void InProcessLink::Disconnect()
{
    if (m_log && !m_name.empty() && !std::exchange(m_closed, true))
        m_log->Link(m_clock.NowMicros() / 1000, false, m_name);
    if (!m_hungUp)
        m_printer.EndOfStream();
    m_hungUp = true;
    m_noiseNext = -1;
    m_arrivals.clear();
}

} // namespace kalo::sim
