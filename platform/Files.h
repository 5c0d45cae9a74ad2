#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace kalo::platform {

// Files the user names: status files now, command and font files later.
// Nothing here blocks on a FIFO or writes into anything but a regular file.

// Replaces the file at path with bytes, or makes it. The bytes go to a new
// file beside it (NAME.kalo-PID-XXXXXX) that takes the old one's place only
// once it is whole on disk, so a failure never costs what was there. A
// symlink is followed and its target replaced; the old file's owner, group
// and mode stay. Refused, with the old file untouched, for an empty path, a
// link LinksMayBeFollowed refuses, anything that is not a regular file, a
// file with more than one hard link, and an owner that cannot be kept. False
// with the reason in error.
bool SaveFile(const std::string& path, const uint8_t* data, size_t length, std::string& error);

// Whether every symlink the walk of path follows, in any of its folders or at
// its end, may be followed to write there: in a sticky folder anyone may
// write to (/tmp), only a link of this user (the effective one) or of the
// folder's owner is, as the kernel's protected_symlinks has it, so a link
// another user planted there never leads a write to this user's files.
// Checked here: a save resolves the link at its end itself, where the
// kernel's rule never looks, and that rule may be off. False with the reason.
bool LinksMayBeFollowed(const std::string& path, std::string& reason);

// Reads the whole regular file at path. A file of more than maxBytes is
// refused by its size, naming both, before a byte is read, and one that grows
// past maxBytes while it is read is refused too: what is read is never cut.
// False with the reason for anything else (a FIFO, a device, a folder, a
// missing or unreadable file).
bool ReadFile(const std::string& path, size_t maxBytes, std::string& bytes, std::string& error);

// Reads the first count bytes of the regular file at path (fewer when it is
// shorter) and leaves the rest unread: for a format of a fixed length that
// ignores what follows. False with the reason, as ReadFile.
bool ReadFileStart(const std::string& path, size_t count, std::string& bytes, std::string& error);

// Reads the regular file at path from its start to its end a piece at a
// time, handing each piece to take as it comes, so a file of any size is read
// in little memory; take returns false to stop there. False with the
// reason, in ReadFile's words, when the file cannot be read.
bool ReadFileInPieces(const std::string& path, const std::function<bool(const char*, size_t)>& take,
                      std::string& error);

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
