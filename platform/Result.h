#pragma once

// Result codes of the platform layer. Every call that can fail returns one of
// these (or a non-negative count); errno is turned into them in exactly one
// place, MapErrno(), so callers never look at errno themselves.
namespace kalo::platform {

enum Result : int {
    kOk = 0,
    kErrArgument = -1,     // bad argument from the caller
    kErrFail = -2,         // any other system failure
    kErrNoDevice = -3,     // no such device or host
    kErrBusy = -4,         // device held by another opener
    kErrTimeout = -5,      // nothing happened within the time we allowed (never a system ETIMEDOUT)
    kErrNotSupported = -6, // the device has no such feature (a pty's modem lines)
    kErrClosed = -7,       // the peer went away
    kErrRefused = -8,      // connection refused or unreachable
    kErrPermission = -9,   // access denied
    kErrInterrupted = -10, // the program was asked to stop (Ctrl+C, termination, hang-up)
};

// Maps an errno value to a Result. Defined by the POSIX layer.
Result MapErrno(int errnoValue);

const char* ResultText(int result);

} // namespace kalo::platform
