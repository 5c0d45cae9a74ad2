#include "CSerialPort.h"

#include "platform/Deadline.h"
#include "platform/Interruption.h"
#include "platform/Result.h"

#include <algorithm>

namespace kalo {

using namespace platform;

namespace {
const char kDsrOffReason[] = "the printer holds DSR off (switched off, or its cable is out)";
} // namespace

CSerialPort::CSerialPort(Platform& platform)
    : m_platform(platform)
{
}

CSerialPort::~CSerialPort() = default;

int CSerialPort::Configure(const PortSettings& settings)
{
    m_baudRate = settings.baudRate;
    m_dataBits = settings.dataBits;
    m_stopBits = settings.stopBits;
    m_parity = settings.parity;
    m_flowControl = settings.flowControl;
    std::copy(std::begin(settings.timeouts), std::end(settings.timeouts), m_timeouts);
    if (settings.portName.empty())
        return 0;
    m_portName = settings.portName;
    return 1;
}

int CSerialPort::Open()
{
    if (m_open)
        return 1;
    auto device = m_platform.NewSerialDevice();
    m_path = m_platform.Ports().DevicePath(m_portName);
    const Result opened = device->Open(m_path);
    // The line needs this long to settle after an open; the wait is taken
    // whether or not the open worked.
    m_platform.GetClock().SleepMs(100);
    if (opened != kOk)
        return Refuse(*device);

    LineSettings line;
    if (device->GetLine(line) != kOk)
        return Refuse(*device);
    line.baudRate = m_baudRate;
    line.byteSize = uint8_t(m_dataBits);
    line.parity = uint8_t(m_parity);
    line.stopBits = uint8_t(m_stopBits);
    line.parityCheck = m_parity != 0;
    // The DSR output handshake has no termios flag: Write watches DSR itself.
    line.outxCtsFlow = true;
    line.dtrOn = true;
    line.rtsOn = true;
    line.txContinueOnXoff = false;
    line.outX = m_flowControl != 0;
    line.inX = m_flowControl != 0;
    if (device->SetLine(line) != kOk)
        return Refuse(*device);

    // A device without modem lines (a pseudo-terminal) cannot say DSR is low.
    unsigned modem = 0;
    const Result status = device->GetModemStatus(modem);
    if (status == kErrNotSupported)
        modem = kModemDsr;
    else if (status != kOk)
        return Refuse(*device);
    if (!(modem & kModemDsr)) {
        m_failure = Failure{"open", m_path, kErrFail, 0, kDsrOffReason};
        return 0;
    }

    const uint32_t fixed[5] = {10, 10, 100, 5, 3000};
    std::copy(std::begin(fixed), std::end(fixed), m_timeouts);
    device->Purge();
    m_device = std::move(device);
    m_open = true;
    return 1;
}

int CSerialPort::Refuse(const SerialDevice& device)
{
    m_failure = device.LastFailure();
    return 0;
}

bool CSerialPort::DsrHeldOff()
{
    unsigned modem = 0;
    return m_device->GetModemStatus(modem) == kOk && !(modem & kModemDsr);
}

int CSerialPort::Write(const uint8_t* data, uint32_t length)
{
    if (!m_open || !data || length == 0)
        return 0;
    Clock& clock = m_platform.GetClock();
    std::lock_guard<std::mutex> hold(m_ioLock);
    const int64_t bound = (int64_t(m_timeouts[kWriteMultiplier]) * length + m_timeouts[kWriteConstant]) * 1000;
    const Deadline deadline(clock, bound);
    uint32_t sent = 0;
    bool heldOff = false;
    bool failed = false;
    while (sent < length) {
        const int64_t left = deadline.Remaining();
        if (left <= 0)
            break;
        // The kernel holds output while CTS is low; DSR it cannot watch, so
        // the write waits here while the printer holds DSR off.
        heldOff = DsrHeldOff();
        if (heldOff) {
            clock.SleepMs(uint32_t(std::min<int64_t>(10, (left + 999) / 1000)));
            if (Interrupted())
                break;
            continue;
        }
        const Result ready = m_device->WaitWritable(left);
        if (ready != kOk) {
            failed = ready != kErrTimeout;
            break;
        }
        const long n = m_device->WriteAvailable(data + sent, length - sent);
        if (n < 0) {
            failed = true;
            break;
        }
        sent += uint32_t(n);
    }
    const long queued = m_device->WaitDrained(deadline.Remaining());
    if (queued > 0) {
        // Out of time: what has not left is dropped, and not counted.
        m_device->FlushOutput();
        sent -= std::min<uint32_t>(sent, uint32_t(queued));
    }
    if (Interrupted() && sent < length) {
        m_failure = Failure{"write", m_path, kErrInterrupted, 0, kInterruptedReason};
    } else if (failed) {
        m_failure = m_device->LastFailure();
    } else if (sent < length) {
        const std::string timeOut = "the write time-out of " + DurationText(bound);
        const std::string reason = heldOff ? "the printer held DSR off for " + timeOut
                                           : "only " + std::to_string(sent) + " of " + std::to_string(length)
                                                 + " bytes went out within " + timeOut;
        m_failure = Failure{"write", m_path, kErrTimeout, 0, reason};
    }
    return int(sent);
}

int CSerialPort::Read(uint8_t* buffer, uint32_t length)
{
    if (!m_open || !buffer || length == 0)
        return 0;
    Clock& clock = m_platform.GetClock();
    std::lock_guard<std::mutex> hold(m_ioLock);
    // The read ends when all bytes are in, when the interval passes after a
    // byte with no next byte, or when the total time for the request is up.
    Deadline deadline(clock, (int64_t(m_timeouts[kReadMultiplier]) * length + m_timeouts[kReadConstant]) * 1000,
                      int64_t(m_timeouts[kReadInterval]) * 1000);
    uint32_t got = 0;
    while (got < length) {
        const int64_t left = deadline.Remaining();
        if (left <= 0)
            break;
        const Result ready = m_device->WaitReadable(left);
        if (ready != kOk) {
            if (ready != kErrTimeout) // a read that only ran out of time is no failure
                m_failure = m_device->LastFailure();
            break;
        }
        const long n = m_device->ReadAvailable(buffer + got, length - got);
        if (n < 0) {
            m_failure = m_device->LastFailure();
            break;
        }
        if (n == 0)
            break; // woken with nothing to read: the read ends as one that timed out
        got += uint32_t(n);
        deadline.Progress();
    }
    return int(got);
}

int CSerialPort::ReadWithin(uint8_t* buffer, uint32_t length, int64_t waitMicros)
{
    if (!buffer || length == 0)
        return 0;
    if (!m_open)
        return -1; // closed after a failure: nothing will come
    std::lock_guard<std::mutex> hold(m_ioLock);
    const Result ready = m_device->WaitReadable(std::max<int64_t>(0, waitMicros));
    if (ready == kErrTimeout)
        return 0;
    const long n = ready == kOk ? m_device->ReadAvailable(buffer, length) : long(ready);
    if (n < 0) {
        m_failure = m_device->LastFailure();
        return -1;
    }
    return int(n);
}

int64_t CSerialPort::SettleMicros() const
{
    // Four characters' time at the line's rate, start, parity and stop bits
    // counted; never below 10 ms, which also covers the gaps a USB serial
    // adapter leaves between the pieces of one reply.
    const uint32_t bits = 1 + m_dataBits + (m_parity != 0 ? 1 : 0) + (m_stopBits == 0 ? 1 : 2);
    const int64_t character = m_baudRate > 0 ? int64_t(bits) * 1000000 / m_baudRate : 0;
    return std::max<int64_t>(10000, 4 * character);
}

void CSerialPort::Close()
{
    if (m_device) {
        m_device->Close();
        m_device.reset();
    }
    m_open = false;
}

} // namespace kalo
