#include "../Files.h"
#include "../WireTrace.h"
#include "RetryEintr.h"

#include <cerrno>
#include <cstring>
#include <ext/stdio_filebuf.h>
#include <fcntl.h>
#include <unistd.h>

namespace kalo::platform {

namespace {

// The stream owns its buffer, which owns (and closes) the descriptor.
class DescriptorStream final : public std::ostream {
public:
    explicit DescriptorStream(int fd)
        : std::ostream(nullptr)
        , m_buffer(fd, std::ios::out)
    {
        rdbuf(&m_buffer);
    }

private:
    __gnu_cxx::stdio_filebuf<char> m_buffer;
};

} // namespace

std::unique_ptr<std::ostream> OpenTraceStream(const std::string& path, std::string& error)
{
    if (path.empty()) {
        error = "no file named";
        return nullptr;
    }
    if (!LinksMayBeFollowed(path, error))
        return nullptr;
    const int fd =
        RetryEintr([&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666); });
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<DescriptorStream>(fd);
}

} // namespace kalo::platform
