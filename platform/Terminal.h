#pragma once

namespace kalo::platform {

// The standard streams of the program.
enum class StandardStream { Output, Error };

// Whether the stream reaches a terminal, where a progress bar can be redrawn
// in place; a file or a pipe gets none.
bool IsTerminal(StandardStream stream);

} // namespace kalo::platform
