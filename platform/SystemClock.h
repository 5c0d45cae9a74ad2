#pragma once

#include "Clock.h"

namespace kalo::platform {

class SystemClock final : public Clock {
public:
    int64_t NowMicros() override;
    void SleepMs(uint32_t ms) override;
    void SleepUntilMicros(int64_t deadline) override;

    static SystemClock& Instance();
};

} // namespace kalo::platform
