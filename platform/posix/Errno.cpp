#include "../Result.h"

#include <cerrno>

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
    case ETIMEDOUT:
        return kErrTimeout;
    case ENOTTY:
    case EINVAL:
    case ENOTSUP:
        return kErrNotSupported;
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
    default:
        return kErrFail;
    }
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
    default: return result >= 0 ? "ok" : "system failure";
    }
}

} // namespace kalo::platform
