#include "PosixPlatform.h"

#include "SystemClock.h"
#include "posix/PosixParallelDevice.h"
#include "posix/PosixSerialDevice.h"
#include "posix/PosixStreamSocket.h"

namespace kalo::platform {

PosixPlatform::PosixPlatform(MessageSink& messages, PortMap ports, Clock* clock)
    : m_messages(messages)
    , m_ports(std::move(ports))
    , m_clock(clock)
{
}

Clock& PosixPlatform::GetClock()
{
    return m_clock ? *m_clock : SystemClock::Instance();
}

std::unique_ptr<SerialDevice> PosixPlatform::NewSerialDevice()
{
    return std::make_unique<PosixSerialDevice>();
}

std::unique_ptr<StreamSocket> PosixPlatform::NewStreamSocket()
{
    return std::make_unique<PosixStreamSocket>();
}

std::unique_ptr<ParallelDevice> PosixPlatform::NewParallelDevice()
{
    return std::make_unique<PosixParallelDevice>(GetClock());
}

} // namespace kalo::platform
