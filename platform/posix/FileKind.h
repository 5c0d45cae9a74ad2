#pragma once

#include <sys/stat.h>

namespace kalo::platform {

// What a file that is not a regular one is, as a refusal names it.
inline const char* KindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

} // namespace kalo::platform
