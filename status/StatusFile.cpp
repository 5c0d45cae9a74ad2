#include "StatusFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalo {

namespace {

constexpr int kLoadedSlots[4] = {0, 1, 6, 7};

void PutInt(uint8_t* at, int32_t value)
{
    const uint32_t v = uint32_t(value);
    at[0] = uint8_t(v);
    at[1] = uint8_t(v >> 8);
    at[2] = uint8_t(v >> 16);
    at[3] = uint8_t(v >> 24);
}

int32_t GetInt(const uint8_t* at)
{
    return int32_t(uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24);
}

std::string Reason(const std::string& what, const std::string& path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const uint8_t* data, size_t length)
{
    while (length > 0) {
        const ssize_t n = write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= size_t(n);
    }
    return true;
}

} // namespace

bool StatusFile::HasStatusExtension(const std::string& name)
{
    return name.size() >= 3 && name.compare(name.size() - 3, 3, "sts") == 0;
}

void StatusFile::Encode(const StatusRecord& record, uint8_t (&bytes)[kSize])
{
    for (int slot = 0; slot < 8; ++slot) {
        for (int column = 0; column < 9; ++column)
            PutInt(bytes + 4 * (slot * 9 + column), record.switchPins[slot][column]);
    }
    PutInt(bytes + 288, record.doubleByteFontIndex);
}

void StatusFile::Decode(const uint8_t* bytes, size_t length, StatusRecord& record)
{
    uint8_t block[kSize] = {};
    std::memcpy(block, bytes, length < kSize ? length : kSize);
    for (int slot : kLoadedSlots) {
        for (int column = 0; column < 9; ++column)
            record.switchPins[slot][column] = GetInt(block + 4 * (slot * 9 + column));
    }
    record.doubleByteFontIndex = GetInt(block + 288);
}

bool StatusFile::Save(const std::string& path, const StatusRecord& record, std::string& error)
{
    uint8_t bytes[kSize];
    Encode(record, bytes);
    std::string temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = Reason("Cannot write", path);
        return false;
    }
    // The new file takes the old one's permissions, or the usual ones for a new file.
    struct stat old {};
    if (stat(path.c_str(), &old) == 0) {
        fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    const bool written = WriteAll(fd, bytes, kSize) && fsync(fd) == 0;
    const int saved = errno;
    if (close(fd) != 0 || !written) {
        errno = written ? errno : saved;
        error = Reason("Cannot write", path);
        unlink(temporary.c_str());
        return false;
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        error = Reason("Cannot replace", path);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool StatusFile::Load(const std::string& path, StatusRecord& record, std::string& error)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = Reason("Cannot open", path);
        return false;
    }
    uint8_t bytes[kSize] = {};
    size_t got = 0;
    while (got < kSize) {
        const ssize_t n = read(fd, bytes + got, kSize - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = Reason("Cannot read", path);
            close(fd);
            return false;
        }
        if (n == 0)
            break;
        got += size_t(n);
    }
    close(fd);
    Decode(bytes, got, record);
    return true;
}

} // namespace kalo
