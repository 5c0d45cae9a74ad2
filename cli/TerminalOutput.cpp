#include "TerminalOutput.h"

#include "platform/Terminal.h"

#include <iostream>

namespace kalo::cli {

namespace {

constexpr int kBarPlaces = 30;
constexpr int64_t kProgressDelayMicros = 1000000;

} // namespace

bool ReachesTerminal(const std::ostream& stream)
{
    if (&stream == &std::cerr)
        return platform::IsTerminal(platform::StandardStream::Error);
    if (&stream == &std::cout)
        return platform::IsTerminal(platform::StandardStream::Output);
    return false;
}

std::string BarOf(uint64_t part, uint64_t whole)
{
    const auto filled = size_t(whole ? part * kBarPlaces / whole : kBarPlaces);
    return "[" + std::string(filled, '#') + std::string(kBarPlaces - filled, ' ') + "] ";
}

LiveText::LiveText(std::ostream& out, bool terminal, platform::Clock& clock, int64_t delayMicros,
                   int64_t intervalMicros)
    : m_out(out)
    , m_terminal(terminal)
    , m_clock(clock)
    , m_delay(delayMicros)
    , m_interval(intervalMicros)
    , m_start(clock.NowMicros())
{
}

bool LiveText::Due(bool last)
{
    if (!m_terminal)
        return false;
    const int64_t now = m_clock.NowMicros();
    if (now - m_start < m_delay)
        return false;
    return !Shown() || last || now - m_shownAt >= m_interval;
}

void LiveText::Show(const std::string& text)
{
    if (!m_terminal)
        return;
    for (; m_lines > 0; --m_lines)
        m_out << "\033[A\033[2K";
    // The line is wiped after the text rather than before, so a bar redrawn
    // over itself does not flicker.
    m_out << '\r' << text << "\033[K" << std::flush;
    m_lines = 0;
    for (const char c : text)
        m_lines += c == '\n' ? 1 : 0;
    m_shownAt = m_clock.NowMicros();
}

void LiveText::Clear()
{
    if (!Shown())
        return;
    for (; m_lines > 0; --m_lines)
        m_out << "\033[A\033[2K";
    m_out << "\r\033[K" << std::flush;
    m_lines = -1;
}

TerminalProgress::TerminalProgress(std::ostream& err, bool terminal, platform::Clock& clock)
    : m_text(err, terminal, clock, kProgressDelayMicros, 0)
{
    // The switch reads step a bar whose step size the window sets for them
    // and the exchange does not: one point per step moves it with the read.
    m_state.SetStep(1);
}

TerminalProgress::~TerminalProgress()
{
    m_text.Clear();
}

void TerminalProgress::SetPosition(int position)
{
    m_state.SetPosition(position);
    Draw();
}

void TerminalProgress::Step()
{
    m_state.Step();
    Draw();
}

void TerminalProgress::Draw()
{
    if (m_text.Due())
        m_text.Show(BarOf(uint64_t(m_state.Position()), 100) + std::to_string(m_state.Position()) + "%");
}

} // namespace kalo::cli
