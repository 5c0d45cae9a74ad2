#include "../Terminal.h"

#include <unistd.h>

namespace kalo::platform {

bool IsTerminal(StandardStream stream)
{
    return isatty(stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

} // namespace kalo::platform
