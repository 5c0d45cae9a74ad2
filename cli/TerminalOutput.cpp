#include "TerminalOutput.h"

#include <string>

namespace kalo::cli {

TerminalProgress::TerminalProgress(std::ostream& err, bool terminal, platform::Clock& clock)
    : m_err(err)
    , m_terminal(terminal)
    , m_clock(clock)
    , m_start(clock.NowMicros())
{
}

TerminalProgress::~TerminalProgress()
{
    if (m_drawn)
        m_err << "\r\033[K" << std::flush;
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
    if (!m_terminal || m_clock.NowMicros() - m_start < 1000000)
        return;
    const int filled = m_state.Position() * 30 / 100;
    m_err << "\r[" << std::string(size_t(filled), '#') << std::string(size_t(30 - filled), ' ') << "] "
          << m_state.Position() << "%" << std::flush;
    m_drawn = true;
}

} // namespace kalo::cli
