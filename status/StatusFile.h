#pragma once

#include "StatusRecord.h"

#include <string>

namespace kalo {

// The .sts file: 292 bytes, 73 little-endian 32-bit integers: switch slots 0,
// 1, 2..5, 6 and 7 (nine integers each, column 0 first), then the double-byte
// font index. Load takes slots 0, 1, 6, 7 and the index only.
class StatusFile {
public:
    static constexpr size_t kSize = 292;

    // "sts", case-sensitive, as the last three characters of the name.
    static bool HasStatusExtension(const std::string& name);

    static void Encode(const StatusRecord& record, uint8_t (&bytes)[kSize]);
    // bytes may be shorter than kSize (the rest counts as zeros) or longer (ignored).
    static void Decode(const uint8_t* bytes, size_t length, StatusRecord& record);

    // Writes a new file and only then puts it in the old one's place, so a
    // failure never costs the file that was there; only regular files are
    // replaced. False with a reason.
    static bool Save(const std::string& path, const StatusRecord& record, std::string& error);
    // Leaves record untouched unless the whole read worked; anything but a
    // regular file is refused. False with a reason.
    static bool Load(const std::string& path, StatusRecord& record, std::string& error);
};

} // namespace kalo
