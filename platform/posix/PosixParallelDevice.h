#pragma once

#include "../Clock.h"
#include "../Deadline.h"
#include "../ParallelDevice.h"

namespace kalo::platform {

// A parallel printer on the lp driver. The driver has no poll handler, so the
// descriptor stays non-blocking and a transfer the printer is not taking yet
// is tried again after a short sleep until its time is up.
class PosixParallelDevice final : public ParallelDevice {
public:
    explicit PosixParallelDevice(Clock& clock) : m_clock(clock) {}
    ~PosixParallelDevice() override;
    PosixParallelDevice(const PosixParallelDevice&) = delete;
    PosixParallelDevice& operator=(const PosixParallelDevice&) = delete;

    Result Open(const std::string& path) override;
    Result GetStatus(uint8_t& status) override;
    long Read(uint8_t* buffer, size_t length, int64_t totalMicros, int64_t intervalMicros) override;
    long Write(const uint8_t* data, size_t length, int64_t timeoutMicros) override;
    void Close() override;
    const Failure& LastFailure() const override { return m_failure; }

private:
    Result Fail(const char* call, int errnoValue);
    // Sleeps the retry step, or what is left of it before the deadline.
    // False, with the failure set, once the program is interrupted.
    bool Nap(const Deadline& deadline, const char* call);

    Clock& m_clock;
    int m_fd = -1;
    bool m_abortSet = false; // LPABORT was off and this device turned it on
    std::string m_path;
    Failure m_failure;
};

} // namespace kalo::platform
