#pragma once

#include "platform/Clock.h"
#include "status/ProgressSink.h"

#include <cstdint>
#include <ostream>
#include <string>

namespace kalo::cli {

// Whether what is written to the stream reaches a terminal: only the
// program's own standard output and error can, and only when they are one.
bool ReachesTerminal(const std::ostream& stream);

// "[#####                         ] ": a bar of 30 places, part of whole filled
// (all of it when whole is 0).
std::string BarOf(uint64_t part, uint64_t whole);

// Text redrawn in place on a terminal, one line or several: shown once
// delayMicros have passed since it was made (a quick exchange draws
// nothing) and then at most every intervalMicros, each drawing wiping the
// one before. Nothing at all reaches a stream that is not a terminal.
class LiveText {
public:
    LiveText(std::ostream& out, bool terminal, platform::Clock& clock, int64_t delayMicros, int64_t intervalMicros);

    // Whether a drawing now would be shown; the last state of a bar is
    // shown whatever the interval.
    bool Due(bool last = false);
    // Replaces what is shown: one line without its end, or whole lines.
    void Show(const std::string& text);
    // Wipes what is shown, leaving the cursor where it was first drawn.
    void Clear();
    bool Shown() const { return m_lines >= 0; }
    // From its making to its latest drawing.
    int64_t ShownAfterMicros() const { return m_shownAt - m_start; }
    int64_t ElapsedMicros() { return m_clock.NowMicros() - m_start; }

private:
    std::ostream& m_out;
    bool m_terminal;
    platform::Clock& m_clock;
    int64_t m_delay;
    int64_t m_interval;
    int64_t m_start;
    int64_t m_shownAt = 0;
    int m_lines = -1; // the whole lines on the screen; -1 while nothing is
};

// A progress bar on standard error, drawn only on a terminal and only once
// an exchange has run for a second.
class TerminalProgress final : public ProgressSink {
public:
    TerminalProgress(std::ostream& err, bool terminal, platform::Clock& clock);
    ~TerminalProgress() override;
    void SetPosition(int position) override;
    void SetStep(int step) override { m_state.SetStep(step); }
    void Step() override;

private:
    void Draw();
    LiveText m_text;
    ProgressState m_state;
};

} // namespace kalo::cli
