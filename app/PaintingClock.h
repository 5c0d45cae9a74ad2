#pragma once

#include "platform/Clock.h"

#include <functional>

// The real clock for a window that blocks in its handlers: a wait is slept
// in short slices and the windows are repainted between them, so progress
// shows and the window does not look hung. No input or timer is processed.
class PaintingClock final : public kalo::platform::Clock {
public:
    explicit PaintingClock(std::function<void()> repaint = nullptr);
    int64_t NowMicros() override;
    void SleepMs(uint32_t ms) override;
    void SleepUntilMicros(int64_t deadline) override;

    static void RepaintWindows();

private:
    std::function<void()> m_repaint;
};
