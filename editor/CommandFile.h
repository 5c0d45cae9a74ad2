#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kalo {

// A command file holds the bytes the command text stands for, in order,
// with no header, separator, length or terminator.
class CommandFile {
public:
    // Larger files are refused before they are read: their text would be
    // over 3 MiB, beyond anything typed or built from snippets.
    static constexpr uint64_t kMaxBytes = 1 << 20;

    // The file's bytes, at most kMaxBytes. False with the message to show
    // (naming the file and why) for a file that cannot be read or is too big.
    static bool Read(const std::string& path, std::string& bytes, std::string& error);
    // The file as the editor's text ("%.2x " per byte); empty for an empty file.
    static bool Load(const std::string& path, std::string& text, std::string& error);
    // Writes the bytes of text, replacing the file only once the new one is
    // whole. False with the message to show; the old file is then untouched.
    static bool Save(const std::string& path, std::string_view text, std::string& error);

    // What a file of size bytes is refused with.
    static std::string TooBig(const std::string& path, uint64_t size);
};

} // namespace kalo
