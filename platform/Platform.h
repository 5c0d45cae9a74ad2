#pragma once

#include "Clock.h"
#include "MessageSink.h"
#include "ParallelDevice.h"
#include "PortMap.h"
#include "SerialDevice.h"
#include "StreamSocket.h"

#include <memory>

namespace kalo::platform {

// What the port kinds and exchanges need from the operating system, in one
// place. The POSIX platform reaches real devices; the in-process platform of
// the virtual printer runs the same code against a simulated printer on a
// virtual clock. A Platform outlives every port that uses it.
class Platform {
public:
    virtual ~Platform() = default;
    virtual Clock& GetClock() = 0;
    virtual MessageSink& Messages() = 0;
    virtual const PortMap& Ports() = 0;
    virtual std::unique_ptr<SerialDevice> NewSerialDevice() = 0;
    virtual std::unique_ptr<StreamSocket> NewStreamSocket() = 0;
    virtual std::unique_ptr<ParallelDevice> NewParallelDevice() = 0;
};

} // namespace kalo::platform
