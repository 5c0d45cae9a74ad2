#pragma once

#include <cstdint>
#include <string>

namespace kalo {

enum class PortKind : int32_t {
    Serial = 0,
    Parallel = 1,
    Usb = 2,
    Ethernet = 3,
};

// Serial and parallel are read byte by byte or in their exact reply length;
// USB and Ethernet in blocks.
inline bool IsByteWise(PortKind kind)
{
    return kind == PortKind::Serial || kind == PortKind::Parallel;
}

// The connection settings the main window fills and hands to the port facade.
struct PortSettings {
    std::string portName;
    uint32_t baudRate = 0;
    uint32_t dataBits = 0;
    uint32_t stopBits = 0;    // 0 one, 1 one and a half, 2 two
    uint32_t parity = 0;      // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint32_t flowControl = 0; // 0 XON/XOFF off, anything else on
    // read interval, read total multiplier, read total constant,
    // write total multiplier, write total constant (milliseconds)
    uint32_t timeouts[5] = {};
    uint32_t inQueueSize = 0;
    uint32_t outQueueSize = 0;
    uint32_t reserved[5] = {};
    uint32_t tcpPort = 0;
};

// The record as Check Communication fills it for a serial, parallel or USB port.
PortSettings LinePortSettings(const std::string& portName, uint32_t baudRate, uint32_t dataBits,
                              uint32_t stopBits, uint32_t parity, uint32_t flowControl);
// The record as Check Communication fills it for a printer on the network.
PortSettings NetworkPortSettings(const std::string& address, uint32_t tcpPort);

} // namespace kalo
