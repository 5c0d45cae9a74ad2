#pragma once

#include "Failure.h"
#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kalo::platform {

// A TCP client socket. Owned by the Ethernet port; Close and destruction
// release the descriptor.
class StreamSocket {
public:
    virtual ~StreamSocket() = default;

    virtual Result Create() = 0;
    // host: dotted address or a host name. Gives up after timeoutMicros.
    virtual Result Connect(const std::string& host, uint16_t port, int64_t timeoutMicros) = 0;
    // Sends the whole block: length, or an error when it could not all go out in time.
    virtual long Send(const uint8_t* data, size_t length, int64_t timeoutMicros) = 0;
    // Count received (1..length), 0 when the peer closed, kErrTimeout when nothing
    // came in time, another error when the socket failed.
    virtual long Receive(uint8_t* buffer, size_t length, int64_t timeoutMicros) = 0;
    virtual void Close() = 0;
    // The last call that failed, with "host:port" as its target once Connect
    // has named one; kept until another fails. A receive that only ran out of
    // time is not a failure of the socket.
    virtual const Failure& LastFailure() const = 0;
};

} // namespace kalo::platform
