#include "PaperRoll.h"

namespace kalo::sim {

// Bold text is shown between '*' and underlined text between '_', so a
// plain-text roll still shows what the commands did.

void PaperRoll::Reset()
{
    m_line.clear();
    m_fontB = m_bold = m_underline = false;
    m_alignment = 0;
}

void PaperRoll::Text(char c)
{
    if (int(m_line.size()) >= Columns())
        LineFeed();
    m_line += c;
}

void PaperRoll::LineFeed()
{
    std::string line = m_line;
    m_line.clear();
    const int pad = Columns() - int(line.size());
    if (pad > 0 && m_alignment == 1)
        line.insert(0, size_t(pad / 2), ' ');
    else if (pad > 0 && m_alignment == 2)
        line.insert(0, size_t(pad), ' ');
    m_sink(line);
}

void PaperRoll::SetPrintMode(uint8_t mode)
{
    m_fontB = (mode & 0x01) != 0;
    SetBold((mode & 0x08) != 0);
    SetUnderline((mode & 0x80) != 0);
}

void PaperRoll::SetBold(bool on)
{
    if (on != m_bold)
        m_line += '*';
    m_bold = on;
}

void PaperRoll::SetUnderline(bool on)
{
    if (on != m_underline)
        m_line += '_';
    m_underline = on;
}

void PaperRoll::SetAlignment(int alignment)
{
    if (alignment >= 0 && alignment <= 2)
        m_alignment = alignment;
}

void PaperRoll::Flush()
{
    if (!m_line.empty())
        LineFeed();
}

void PaperRoll::Event(const std::string& what)
{
    Flush();
    m_sink("[" + what + "]");
}

} // namespace kalo::sim
