#include "PaintingClock.h"

#include "platform/Interruption.h"
#include "platform/SystemClock.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>

namespace {
constexpr uint32_t kSliceMs = 40;
}

PaintingClock::PaintingClock(std::function<void()> repaint)
    : m_repaint(repaint ? std::move(repaint) : std::function<void()>(&PaintingClock::RepaintWindows))
{
}

int64_t PaintingClock::NowMicros()
{
    return kalo::platform::SystemClock::Instance().NowMicros();
}

void PaintingClock::SleepMs(uint32_t ms)
{
    SleepUntilMicros(NowMicros() + int64_t(ms) * 1000);
}

void PaintingClock::SleepUntilMicros(int64_t deadline)
{
    // Slices end exactly at the deadline and no repaint follows the last
    // one: a wait is as long as asked, not a repaint or a rounding longer.
    auto& clock = kalo::platform::SystemClock::Instance();
    m_repaint();
    for (;;) {
        const int64_t left = deadline - clock.NowMicros();
        if (left <= 0)
            return;
        const bool last = left <= int64_t(kSliceMs) * 1000;
        clock.SleepUntilMicros(last ? deadline : clock.NowMicros() + int64_t(kSliceMs) * 1000);
        // An interrupted program's waits end at once: no slices to repaint between.
        if (last || kalo::platform::Interrupted())
            return;
        m_repaint();
    }
}

void PaintingClock::RepaintWindows()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible())
            window->repaint();
    }
}
