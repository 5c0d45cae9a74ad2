#include "../Result.h"
#include "SystemFailure.h"

#include <cerrno>
#include <cstring>

namespace kalo::platform {

Result MapErrno(int errnoValue)
{
    switch (errnoValue) {
    case 0:
        return kOk;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EHOSTUNREACH:
    case ENETUNREACH:
        return kErrNoDevice;
    case EBUSY:
    case EAGAIN:
    case EADDRINUSE:
        return kErrBusy;
    case ENOTTY:
    case EINVAL:
    case ENOTSUP:
        return kErrNotSupported;
    // A connection the kernel gave up on is gone: kErrTimeout is kept for the
    // bounds of our own waits, which the callers set themselves.
    case ETIMEDOUT:
    case EPIPE:
    case ECONNRESET:
    case EIO:
    case ESHUTDOWN:
        return kErrClosed;
    case ECONNREFUSED:
        return kErrRefused;
    case EACCES:
    case EPERM:
        return kErrPermission;
    // Our waits retry on EINTR; one that reports it stopped for an interruption.
    case EINTR:
        return kErrInterrupted;
    default:
        return kErrFail;
    }
}

Failure SystemFailure(const char* call, const std::string& target, int errnoValue)
{
    char buffer[256];
    return Failure{call, target, MapErrno(errnoValue), errnoValue, strerror_r(errnoValue, buffer, sizeof buffer)};
}

const char* ResultText(int result)
{
    switch (result) {
    case kOk: return "ok";
    case kErrArgument: return "bad argument";
    case kErrNoDevice: return "no such device";
    case kErrBusy: return "device busy";
    case kErrTimeout: return "timed out";
    case kErrNotSupported: return "not supported by the device";
    case kErrClosed: return "connection closed";
    case kErrRefused: return "connection refused";
    case kErrPermission: return "permission denied";
    case kErrInterrupted: return "interrupted";
    default: return result >= 0 ? "ok" : "system failure";
    }
}

} // namespace kalo::platform
