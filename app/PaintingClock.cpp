#include "PaintingClock.h"

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
    auto& clock = kalo::platform::SystemClock::Instance();
    const int64_t deadline = clock.NowMicros() + int64_t(ms) * 1000;
    m_repaint();
    for (;;) {
        const int64_t left = deadline - clock.NowMicros();
        if (left <= 0)
            return;
        clock.SleepMs(uint32_t(std::min<int64_t>(kSliceMs, (left + 999) / 1000)));
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
