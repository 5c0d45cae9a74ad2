#pragma once

#include "platform/Clock.h"
#include "status/ProgressSink.h"

#include <cstdint>
#include <ostream>

namespace kalo::cli {

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
    std::ostream& m_err;
    bool m_terminal;
    platform::Clock& m_clock;
    int64_t m_start;
    bool m_drawn = false;
    ProgressState m_state;
};

} // namespace kalo::cli
