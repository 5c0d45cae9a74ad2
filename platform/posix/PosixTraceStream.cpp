#include "../Files.h"
#include "../WireTrace.h"
#include "DescriptorBuffer.h"
#include "FileKind.h"
#include "RetryEintr.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalo::platform {

namespace {

std::string NotRegular(mode_t mode)
{
    return std::string("it is ") + KindOf(mode) + ", not a regular file";
}

} // namespace

std::unique_ptr<OutputBuffer> OpenTraceFile(const std::string& path, std::string& error)
{
    if (path.empty()) {
        error = "no file named";
        return nullptr;
    }
    if (!LinksMayBeFollowed(path, error))
        return nullptr;
    // Without blocking: a FIFO without a reader would hold a blocking open
    // past every signal. Emptied only once it is known to be a regular file.
    const int fd = RetryEintr(
        [&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666); });
    if (fd < 0) {
        const int openError = errno;
        struct stat named {};
        // ENXIO: a FIFO nobody reads, refused by the non-blocking open.
        error = openError == ENXIO && stat(path.c_str(), &named) == 0 && !S_ISREG(named.st_mode)
            ? NotRegular(named.st_mode)
            : std::strerror(openError);
        return nullptr;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ftruncate(fd, 0) != 0) {
        error = S_ISREG(info.st_mode) || info.st_mode == 0 ? std::strerror(errno) : NotRegular(info.st_mode);
        close(fd);
        return nullptr;
    }
    return std::make_unique<DescriptorBuffer>(fd, true, kTracePatienceMs);
}

} // namespace kalo::platform
