#pragma once

#include <string>

namespace kalo::test {

// The two contents kalo-save-loop alternates: of different lengths and bytes,
// so any mix of them, or a cut one, equals neither.
inline std::string SaveLoopContents(int which)
{
    return which == 0 ? std::string(3000, 'A') : std::string(9000, 'b') + "end";
}

} // namespace kalo::test
