#pragma once

#include "PortSettings.h"
#include "platform/Failure.h"
#include "platform/Platform.h"

#include <memory>
#include <optional>

namespace kalo {

// A printer on an LPT port. Owns its device from Open to Close, and opens
// only a printer that reports itself ready.
class CParallelPort {
public:
    explicit CParallelPort(platform::Platform& platform);
    ~CParallelPort();
    CParallelPort(const CParallelPort&) = delete;
    CParallelPort& operator=(const CParallelPort&) = delete;

    // A write the printer does not take within this long stops where it got to.
    static constexpr uint32_t kWriteTotalConstantMs = 300000;

    int Configure(const PortSettings& settings);
    int Open();
    // Opens a printer also when it reports itself not ready: a status read
    // asks what keeps it from being ready, and that is no reason to refuse it.
    int OpenAnyState();
    // The port's status byte (ParallelStatusBit) now; none when it cannot be read.
    std::optional<uint8_t> LineStatus();
    int Write(const uint8_t* data, uint32_t length);
    int Read(uint8_t* buffer, uint32_t length);
    // What arrives within waitMicros, returning as soon as something has:
    // the count (0 when nothing came), or -1 when the link failed.
    int ReadWithin(uint8_t* buffer, uint32_t length, int64_t waitMicros);
    // How long the line must stay quiet after a reply before the reply
    // pace takes it as over.
    int64_t SettleMicros() const;
    void Close();
    const platform::Failure& LastFailure() const { return m_failure; }
    void ClearFailure()
    {
        m_failure = {};
        m_stalled = false;
    }

    const std::string& PortName() const { return m_portName; }
    uint32_t WriteTotalConstant() const { return m_timeouts[kWriteConstant]; }

private:
    int OpenDevice(bool requireReady);

    enum Timeout { kReadInterval, kReadMultiplier, kReadConstant, kWriteMultiplier, kWriteConstant };

    platform::Platform& m_platform;
    platform::Failure m_failure;
    std::string m_portName;
    std::string m_path; // the device the port name stands for
    uint32_t m_timeouts[5] = {};
    std::unique_ptr<platform::ParallelDevice> m_device;
    bool m_open = false;
    // A write ran out its time-out: the rest of the operation sends nothing
    // more, rather than waiting the time-out again for every command.
    bool m_stalled = false;
};

} // namespace kalo
