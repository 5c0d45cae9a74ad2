#pragma once

#include <functional>
#include <string>

namespace kalo::sim {

// Turns the printable part of the command stream into lines of plain text:
// what would come out of the printer, one line of paper per line.
class PaperRoll {
public:
    using LineSink = std::function<void(const std::string&)>;

    explicit PaperRoll(LineSink sink) : m_sink(std::move(sink)) {}

    void Reset();
    void Text(char c);
    void LineFeed();
    void SetPrintMode(uint8_t mode);
    void SetBold(bool on);
    void SetUnderline(bool on);
    void SetAlignment(int alignment); // 0 left, 1 centre, 2 right
    // A line of its own that says what happened ("[cut]"); pending text is printed first.
    void Event(const std::string& what);
    // Prints pending text without a line feed of its own (ESC J).
    void Flush();

    int Columns() const { return m_fontB ? 64 : 48; }

private:
    LineSink m_sink;
    std::string m_line;
    bool m_fontB = false;
    bool m_bold = false;
    bool m_underline = false;
    int m_alignment = 0;
};

} // namespace kalo::sim
