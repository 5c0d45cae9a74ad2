#include "PosixPlatform.h"

#include "SystemClock.h"
#include "posix/PosixSerialDevice.h"
#include "posix/PosixStreamSocket.h"

namespace kalo::platform {

PosixPlatform::PosixPlatform(MessageSink& messages, PortMap ports)
    : m_messages(messages)
    , m_ports(std::move(ports))
{
}

Clock& PosixPlatform::GetClock()
{
    return SystemClock::Instance();
}

std::unique_ptr<SerialDevice> PosixPlatform::NewSerialDevice()
{
    return std::make_unique<PosixSerialDevice>();
}

std::unique_ptr<StreamSocket> PosixPlatform::NewStreamSocket()
{
    return std::make_unique<PosixStreamSocket>();
}

} // namespace kalo::platform
