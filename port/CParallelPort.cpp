#include "CParallelPort.h"

#include "platform/Result.h"
#include "platform/Text.h"

#include <algorithm>

namespace kalo {

using namespace platform;

CParallelPort::CParallelPort(Platform& platform)
    : m_platform(platform)
{
}

CParallelPort::~CParallelPort()
{
    Close();
}

int CParallelPort::Configure(const PortSettings& settings)
{
    std::copy(std::begin(settings.timeouts), std::end(settings.timeouts), m_timeouts);
    m_timeouts[kWriteConstant] = kWriteTotalConstantMs;
    // LPTn through the port map, or a device path as it is.
    if (!StartsWith(settings.portName, "LPT") && !StartsWith(settings.portName, "/"))
        return 0;
    m_portName = settings.portName;
    return 1;
}

int CParallelPort::Open()
{
    return OpenDevice(true);
}

int CParallelPort::OpenAnyState()
{
    return OpenDevice(false);
}

std::optional<uint8_t> CParallelPort::LineStatus()
{
    uint8_t status = 0;
    if (!m_open || m_device->GetStatus(status) != kOk)
        return std::nullopt;
    return status;
}

int CParallelPort::OpenDevice(bool requireReady)
{
    if (m_open)
        return 1;
    auto device = m_platform.NewParallelDevice();
    m_path = m_platform.Ports().DevicePath(m_portName);
    if (device->Open(m_path) != kOk) {
        m_failure = device->LastFailure();
        return 0;
    }
    uint8_t status = 0;
    if (device->GetStatus(status) != kOk) {
        m_failure = device->LastFailure();
        return 0;
    }
    if (requireReady && !ParallelReady(status)) {
        m_failure = Failure{"status", m_path, kErrFail, 0, "the printer is not ready: " + ParallelStatusText(status)};
        return 0;
    }
    m_device = std::move(device);
    m_open = true;
    return 1;
}

int CParallelPort::Write(const uint8_t* data, uint32_t length)
{
    if (!m_open || !data || length == 0 || m_stalled)
        return 0;
    const int64_t timeout = (int64_t(m_timeouts[kWriteMultiplier]) * length + m_timeouts[kWriteConstant]) * 1000;
    const long sent = m_device->Write(data, length, timeout);
    if (sent < long(length)) {
        m_failure = m_device->LastFailure();
        if (m_failure.Empty()) {
            m_stalled = true;
            m_failure = Failure{"write", m_path, kErrTimeout, 0,
                                "only " + std::to_string(sent) + " of " + std::to_string(length)
                                    + " bytes went out within the write time-out of " + DurationText(timeout)};
        }
    }
    return int(std::max(0L, sent));
}

int CParallelPort::Read(uint8_t* buffer, uint32_t length)
{
    if (!m_open || !buffer || length == 0)
        return 0;
    const int64_t total = (int64_t(m_timeouts[kReadMultiplier]) * length + m_timeouts[kReadConstant]) * 1000;
    const long got = m_device->Read(buffer, length, total, int64_t(m_timeouts[kReadInterval]) * 1000);
    if (!m_device->LastFailure().Empty())
        m_failure = m_device->LastFailure();
    return int(std::max(0L, got));
}

int CParallelPort::ReadWithin(uint8_t* buffer, uint32_t length, int64_t waitMicros)
{
    if (!buffer || length == 0)
        return 0;
    if (!m_open)
        return -1; // closed after a failure: nothing will come
    // The lp driver always polls ready, so the device retries every 10 ms;
    // the read ends right after the first bytes.
    const long got = m_device->Read(buffer, length, std::max<int64_t>(1, waitMicros), 1);
    if (!m_device->LastFailure().Empty()) {
        m_failure = m_device->LastFailure();
        return -1;
    }
    return int(std::max(0L, got));
}

int64_t CParallelPort::SettleMicros() const
{
    // Three of the driver's 10 ms retries with nothing.
    return 30000;
}

void CParallelPort::Close()
{
    if (m_device) {
        m_device->Close();
        m_device.reset();
    }
    m_open = false;
    m_stalled = false;
}

} // namespace kalo
