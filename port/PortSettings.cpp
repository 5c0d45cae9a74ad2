#include "PortSettings.h"

namespace kalo {

PortSettings LinePortSettings(const std::string& portName, uint32_t baudRate, uint32_t dataBits,
                              uint32_t stopBits, uint32_t parity, uint32_t flowControl)
{
    PortSettings s;
    s.portName = portName;
    s.baudRate = baudRate;
    s.dataBits = dataBits;
    s.stopBits = stopBits;
    s.parity = parity;
    s.flowControl = flowControl;
    const uint32_t timeouts[5] = {10, 10, 10, 0, 0};
    const uint32_t reserved[5] = {1, 0, 0, 1000, 3000};
    for (int i = 0; i < 5; ++i) {
        s.timeouts[i] = timeouts[i];
        s.reserved[i] = reserved[i];
    }
    s.inQueueSize = 8149;
    s.outQueueSize = 8149;
    s.tcpPort = 0;
    return s;
}

PortSettings NetworkPortSettings(const std::string& address, uint32_t tcpPort)
{
    PortSettings s;
    s.portName = address;
    s.tcpPort = tcpPort;
    return s;
}

} // namespace kalo
