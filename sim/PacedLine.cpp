#include "PacedLine.h"

namespace kalo::sim {

std::optional<LineFrame> ParseFrame(const std::string& text)
{
    if (text.size() < 3 || text[0] < '5' || text[0] > '8')
        return std::nullopt;
    LineFrame frame;
    frame.dataBits = text[0] - '0';
    const char parity = char(text[1] & ~0x20); // either case
    if (std::string("NEOMS").find(parity) == std::string::npos)
        return std::nullopt;
    frame.parity = parity;
    const std::string stop = text.substr(2);
    if (stop == "1")
        frame.stopHalves = 2;
    else if (stop == "1.5")
        frame.stopHalves = 3;
    else if (stop == "2")
        frame.stopHalves = 4;
    else
        return std::nullopt;
    return frame;
}

int64_t ByteNanos(uint32_t baudRate, const LineFrame& frame)
{
    if (baudRate == 0)
        return 0;
    const int64_t halfBits = 2 * (1 + frame.dataBits + (frame.parity == 'N' ? 0 : 1)) + frame.stopHalves;
    return halfBits * 1'000'000'000 / (2 * int64_t(baudRate));
}

PacedLine::PacedLine(Settings settings)
    : m_settings(settings)
{
}

void PacedLine::SetLine(int64_t byteNanos, bool senderHonoursXoff, bool senderUsesXonXoff)
{
    m_byteNanos = std::max<int64_t>(1, byteNanos);
    m_senderHonoursXoff = senderHonoursXoff;
    m_senderUsesXonXoff = senderUsesXonXoff;
}

size_t PacedLine::ReadRoom() const
{
    if (m_stopped && m_senderHonoursXoff)
        return 0;
    const size_t ahead = size_t(std::max<int64_t>(1, kAheadNanos / m_byteNanos));
    return m_inTransit.size() < ahead ? ahead - m_inTransit.size() : 0;
}

void PacedLine::Taken(const uint8_t* data, size_t length, int64_t now, bool senderHadMore)
{
    // A sender that kept the line busy sends its next byte right after the
    // last; one that had nothing starts when it writes.
    int64_t at = m_senderBusy ? m_lastArrival : std::max(m_lastArrival, now);
    for (size_t i = 0; i < length; ++i) {
        at += m_byteNanos;
        m_inTransit.emplace_back(at, data[i]);
    }
    if (length > 0)
        m_lastArrival = at;
    m_senderBusy = senderHadMore;
}

void PacedLine::ConsumeUntil(int64_t time, Events& events)
{
    if (m_settings.processRate == 0) {
        events.consumed.insert(events.consumed.end(), m_buffer.begin(), m_buffer.end());
        m_buffer.clear();
        m_processClock = time;
        return;
    }
    if (m_buffer.empty()) {
        // An idle printer saves up no time: the next byte starts when it comes.
        m_processClock = std::max(m_processClock, time);
        return;
    }
    // A byte the line hands over late may carry an arrival time the printer
    // has already worked past.
    if (time <= m_processClock)
        return;
    const int64_t perByte = 1'000'000'000 / int64_t(m_settings.processRate);
    const size_t n = size_t(std::min<int64_t>(int64_t(m_buffer.size()), (time - m_processClock) / perByte));
    events.consumed.insert(events.consumed.end(), m_buffer.begin(), m_buffer.begin() + long(n));
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + long(n));
    m_processClock = m_buffer.empty() ? time : m_processClock + int64_t(n) * perByte;
}

void PacedLine::Advance(int64_t now, Events& events)
{
    const size_t high = m_settings.bufferSize * 3 / 4;
    const size_t low = m_settings.bufferSize / 4;
    while (!m_inTransit.empty() && m_inTransit.front().first <= now) {
        const auto [at, byte] = m_inTransit.front();
        m_inTransit.pop_front();
        ConsumeUntil(at, events);
        events.arrived.push_back(byte);
        if (m_buffer.size() < m_settings.bufferSize) {
            m_buffer.push_back(byte);
        } else {
            ++m_lostTotal;
            ++m_lostUnreported;
        }
        if (FlowOn() && !m_stopped && m_buffer.size() >= high) {
            events.control.push_back(kXoff);
            m_stopped = true;
            m_senderBusy = false; // a stopped sender starts again from XON, not from its last byte
        }
    }
    ConsumeUntil(now, events);
    if (m_buffer.size() <= low) {
        if (m_stopped) {
            events.control.push_back(kXon);
            m_stopped = false;
        }
        events.overrun = m_lostUnreported;
        m_lostUnreported = 0;
    }
}

int64_t PacedLine::NextDue() const
{
    int64_t due = m_inTransit.empty() ? -1 : m_inTransit.back().first;
    if (m_settings.processRate > 0 && !m_buffer.empty()) {
        const int64_t perByte = 1'000'000'000 / int64_t(m_settings.processRate);
        const int64_t batch = std::min<int64_t>(int64_t(m_buffer.size()), std::max<int64_t>(1, kAheadNanos / perByte));
        const int64_t consumed = m_processClock + batch * perByte;
        due = due < 0 ? consumed : std::min(due, consumed);
    }
    return due;
}

} // namespace kalo::sim
