#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kalo::platform {

// Files the user names: status files now, command and font files later.
// Nothing here blocks on a FIFO or writes into anything but a regular file.

// Replaces the file at path with bytes, or makes it. The bytes go to a new
// file beside it (NAME.kalo-PID-XXXXXX) that takes the old one's place only
// once it is whole on disk, so a failure never costs what was there. A
// symlink is followed and its target replaced; the old file's owner, group
// and mode stay. Refused, with the old file untouched, for an empty path,
// anything that is not a regular file, a file with more than one hard link,
// and an owner that cannot be kept. False with the reason in error.
bool SaveFile(const std::string& path, const uint8_t* data, size_t length, std::string& error);

// Reads at most maxBytes from the start of the regular file at path; more is
// left unread. False with the reason for anything else (a FIFO, a device, a
// folder, a missing or unreadable file).
bool ReadFile(const std::string& path, size_t maxBytes, std::string& bytes, std::string& error);

// The size of the regular file at path, found without opening it, so a
// file too big to take is refused at once. False with the reason, in
// ReadFile's words, for anything else.
bool FileSize(const std::string& path, uint64_t& size, std::string& error);

// Whether path names something this process may read.
bool IsReadable(const std::string& path);

// Whether path names anything at all (a symlink: its target).
bool PathExists(const std::string& path);

// Makes the folder at path (mode 0755, less the umask) unless there is one;
// its parent must be there. False with the reason (a missing parent named).
bool MakeFolder(const std::string& path, std::string& error);

} // namespace kalo::platform
