#pragma once

#include "Platform.h"

namespace kalo::platform {

// The real operating system: termios devices, TCP sockets, the monotonic clock.
// Messages go to the sink given (a console sink in kaloctl, message boxes in kalo).
class PosixPlatform final : public Platform {
public:
    // clock: where waits go; the system clock when none is given.
    explicit PosixPlatform(MessageSink& messages, PortMap ports = PortMap(), Clock* clock = nullptr);

    Clock& GetClock() override;
    MessageSink& Messages() override { return m_messages; }
    const PortMap& Ports() override { return m_ports; }
    std::unique_ptr<SerialDevice> NewSerialDevice() override;
    std::unique_ptr<StreamSocket> NewStreamSocket() override;
    std::unique_ptr<ParallelDevice> NewParallelDevice() override;

private:
    MessageSink& m_messages;
    PortMap m_ports;
    Clock* m_clock;
};

} // namespace kalo::platform
