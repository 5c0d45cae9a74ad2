#include "WireTrace.h"

#include "KaloVersion.h"
#include "Text.h"

namespace kalo::platform {

WireTrace::WireTrace(std::ostream& out, Clock& clock, std::function<void()> lost)
    : m_out(out)
    , m_clock(clock)
    , m_start(clock.NowMicros())
    , m_onLost(std::move(lost))
{
}

void WireTrace::Connection(const std::string& port)
{
    Write(std::string("# kalo ") + kVersion + ", " + port + "\n");
}

void WireTrace::Sent(const uint8_t* data, size_t length)
{
    Transfer(" tx", data, length);
}

void WireTrace::Received(const uint8_t* data, size_t length)
{
    Transfer(" rx", data, length);
}

void WireTrace::Transfer(const char* direction, const uint8_t* data, size_t length)
{
    if (length == 0)
        return;
    Line(std::string(direction) + ' ' + HexBytes(data, length));
}

void WireTrace::Wait(uint32_t ms)
{
    Line(" wait " + std::to_string(ms));
}

void WireTrace::WaitEnded(uint32_t plannedMs, uint32_t tookMs)
{
    Line(" wait " + std::to_string(plannedMs) + " ended " + std::to_string(tookMs));
}

void WireTrace::Error(const Failure& failure)
{
    std::string text = " error " + failure.call;
    if (!failure.target.empty())
        text += " " + failure.target;
    Line(text + ": " + failure.reason);
}

void WireTrace::Line(const std::string& text)
{
    Write(std::to_string((m_clock.NowMicros() - m_start) / 1000) + text + "\n");
}

void WireTrace::Write(const std::string& line)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_lost)
        return;
    m_out.write(line.data(), std::streamsize(line.size()));
    m_out.flush();
    if (m_out)
        return;
    m_lost = true;
    if (m_onLost)
        m_onLost();
}

} // namespace kalo::platform
