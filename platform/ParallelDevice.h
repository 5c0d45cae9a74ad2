#pragma once

#include "Failure.h"
#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kalo::platform {

// Bits of a parallel port's status register as the lp driver reports them.
// Busy and error are active low: a set bit means not busy, no fault.
enum ParallelStatusBit : uint8_t {
    kLptNotBusy = 0x80,
    kLptAck = 0x40,
    kLptPaperOut = 0x20,
    kLptSelected = 0x10,
    kLptNoError = 0x08,
};

// Selected and nothing else: not busy, paper in, selected, no fault. The
// acknowledge line only pulses while bytes go out, so it says nothing.
inline bool ParallelReady(uint8_t status)
{
    constexpr uint8_t kWatched = kLptNotBusy | kLptPaperOut | kLptSelected | kLptNoError;
    return (status & kWatched) == (kLptNotBusy | kLptSelected | kLptNoError);
}

// What keeps a printer from being ready, in words: "busy, out of paper".
std::string ParallelStatusText(uint8_t status);

// One parallel printer device. Owned by the parallel port that opened it;
// closing or destroying it releases the descriptor. Waits are relative, in
// microseconds, and go through the platform's clock.
class ParallelDevice {
public:
    virtual ~ParallelDevice() = default;

    // Opens for reading and writing; a second opener is refused (kErrBusy).
    virtual Result Open(const std::string& path) = 0;
    // The port's raw status byte (ParallelStatusBit).
    virtual Result GetStatus(uint8_t& status) = 0;
    // Reads until length bytes are in, until intervalMicros pass after a byte
    // with no next one, or until totalMicros are up. The count read; a failed
    // read ends it and is kept.
    virtual long Read(uint8_t* buffer, size_t length, int64_t totalMicros, int64_t intervalMicros) = 0;
    // Writes until everything went out or timeoutMicros are up; the count
    // that went out. A failed write ends it and is kept.
    virtual long Write(const uint8_t* data, size_t length, int64_t timeoutMicros) = 0;
    virtual void Close() = 0;
    // Why the last call failed; a read or write that went well, or only ran
    // out of time, leaves it empty.
    virtual const Failure& LastFailure() const = 0;
};

} // namespace kalo::platform
