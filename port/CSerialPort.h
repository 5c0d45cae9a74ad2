#pragma once

#include "PortSettings.h"
#include "platform/Failure.h"
#include "platform/Platform.h"

#include <memory>
#include <mutex>

namespace kalo {

// A printer on a COM port. Owns its device from Open to Close.
class CSerialPort {
public:
    explicit CSerialPort(platform::Platform& platform);
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    int Configure(const PortSettings& settings);
    int Open();
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
    void ClearFailure() { m_failure = {}; }

    const std::string& PortName() const { return m_portName; }

private:
    enum Timeout { kReadInterval, kReadMultiplier, kReadConstant, kWriteMultiplier, kWriteConstant };

    // Keeps the device's failure and refuses the open.
    int Refuse(const platform::SerialDevice& device);
    bool DsrHeldOff();

    platform::Platform& m_platform;
    platform::Failure m_failure;
    std::string m_portName;
    std::string m_path; // the device the port name stands for
    uint32_t m_baudRate = 0;
    uint32_t m_dataBits = 0;
    uint32_t m_stopBits = 0;
    uint32_t m_parity = 0;
    uint32_t m_flowControl = 0;
    uint32_t m_timeouts[5] = {};
    std::unique_ptr<platform::SerialDevice> m_device;
    bool m_open = false;
    std::mutex m_ioLock;
};

} // namespace kalo
