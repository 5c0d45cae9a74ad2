#include "../Files.h"
#include "FileKind.h"
#include "RetryEintr.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <random>
#include <signal.h>
#include <sys/stat.h>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace kalo::platform {

namespace {

// Enough for any sane chain of links; a loop ends here too.
constexpr int kMaxLinks = 40;
constexpr int kTemporaryTries = 100;
constexpr char kTemporaryMark[] = ".kalo-";

std::string SystemReason(int error)
{
    return std::strerror(error);
}

std::string Folder(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// "nobody (uid 65534)", or the number alone for a user without a name.
std::string UserName(uid_t uid)
{
    std::string buffer(4096, '\0');
    passwd entry {};
    passwd* found = nullptr;
    const std::string number = "uid " + std::to_string(uid);
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return number;
    return std::string(found->pw_name) + " (" + number + ")";
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

int OpenRetrying(const char* path, int flags, mode_t mode = 0)
{
    int fd;
    do
        fd = open(path, flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Follows symlinks from path to the name the data lives under (which need
// not exist yet).
bool FollowLinks(std::string path, std::string& target, std::string& error)
{
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            target = path;
            return true;
        }
        std::string link(size_t(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t n = readlink(path.c_str(), link.data(), link.size());
        if (n < 0) {
            error = "Cannot follow the link " + path + ": " + SystemReason(errno);
            return false;
        }
        link.resize(size_t(n));
        path = !link.empty() && link[0] == '/' ? link : Join(Folder(path), link);
    }
    error = "Cannot follow the link " + path + ": " + SystemReason(ELOOP);
    return false;
}

// Saves of this process under way, this one included.
std::atomic<int> g_savesUnderWay{0};

struct SaveUnderWay {
    SaveUnderWay() { ++g_savesUnderWay; }
    ~SaveUnderWay() { --g_savesUnderWay; }
    SaveUnderWay(const SaveUnderWay&) = delete;
    SaveUnderWay& operator=(const SaveUnderWay&) = delete;
};

// When the process now bearing pid started, in seconds of the wall clock;
// -1 when that cannot be told.
double StartedAt(pid_t pid)
{
    std::string stat, error;
    if (!ReadFile("/proc/" + std::to_string(pid) + "/stat", 4096, stat, error))
        return -1;
    const size_t name = stat.rfind(')');
    if (name == std::string::npos)
        return -1;
    // The start time is the 22nd field, the name (which may hold spaces) the 2nd.
    const char* field = stat.c_str() + name + 1;
    for (int i = 2; i < 21 && field; ++i)
        field = std::strchr(field + 1, ' ');
    if (!field)
        return -1;
    const double ticks = std::strtod(field + 1, nullptr);
    timespec boot {}, wall {};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    clock_gettime(CLOCK_REALTIME, &wall);
    const double sinceBoot = double(boot.tv_sec) + double(boot.tv_nsec) / 1e9;
    return double(wall.tv_sec) - (sinceBoot - ticks / double(sysconf(_SC_CLK_TCK)));
}

bool WriterMayBeRunning(pid_t pid, const struct stat& leftover)
{
    // Our own number on a leftover is a killed process's whose number came
    // back to us; while no other save of ours runs, that file is no one's.
    if (pid == getpid())
        return g_savesUnderWay > 1;
    if (kill(pid, 0) != 0 && errno != EPERM)
        return false;
    // A number in use may have come back to a process that started after the
    // file was last written, so cannot be its writer (a little slack for the
    // clock's steps).
    const double started = StartedAt(pid);
    return started < 0 || double(leftover.st_mtime) + 2 >= started;
}

// Temporary files of an earlier save of the same name whose writer is gone
// (killed half way); those of a writer still running are its own business.
void RemoveLeftovers(const std::string& folder, const std::string& name)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    const std::string prefix = name + kTemporaryMark;
    while (const dirent* entry = readdir(dir)) {
        const std::string entryName = entry->d_name;
        if (entryName.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string rest = entryName.substr(prefix.size());
        const size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string::npos || dash > 10 || rest.size() != dash + 7
            || rest.find_first_not_of("0123456789") != dash)
            continue;
        const long pid = std::strtol(rest.c_str(), nullptr, 10);
        const std::string path = Join(folder, entryName);
        struct stat info {};
        if (pid > 0 && lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)
            && !WriterMayBeRunning(pid_t(pid), info))
            unlink(path.c_str());
    }
    closedir(dir);
}

int MakeTemporary(const std::string& target, std::string& temporary)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    const std::string stem = target + kTemporaryMark + std::to_string(getpid()) + "-";
    for (int attempt = 0; attempt < kTemporaryTries; ++attempt) {
        temporary = stem;
        for (int i = 0; i < 6; ++i)
            temporary += kLetters[random() % (sizeof kLetters - 1)];
        // Created with the usual permissions (0666 less the umask) for a new file.
        const int fd = OpenRetrying(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

bool WriteAll(int fd, const uint8_t* data, size_t length)
{
    while (length > 0) {
        const ssize_t n = write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        length -= size_t(n);
    }
    return true;
}

int CloseKeepingErrno(int fd)
{
    const int saved = errno;
    const int result = close(fd);
    errno = saved;
    return result;
}

void SyncFolder(const std::string& folder)
{
    const int fd = OpenRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    // The new file is in place already; a folder that cannot be synced
    // (some network file systems) only makes it less sure to survive a crash.
    while (fsync(fd) != 0 && errno == EINTR) {
    }
    close(fd);
}

} // namespace

bool LinksMayBeFollowed(const std::string& path, std::string& reason)
{
    // The names still to walk, the next one last.
    std::vector<std::string> left;
    auto push = [&left](const std::string& text) {
        for (size_t end = text.size(); end > 0;) {
            const size_t slash = text.rfind('/', end - 1);
            const size_t start = slash == std::string::npos ? 0 : slash + 1;
            if (end > start)
                left.push_back(text.substr(start, end - start));
            end = slash == std::string::npos ? 0 : slash;
        }
    };
    push(path);
    // Where the walk is, "" for the current folder; never a link.
    std::string at = !path.empty() && path[0] == '/' ? "/" : "";
    for (int hops = 0; !left.empty();) {
        const std::string name = left.back();
        left.pop_back();
        if (name == ".")
            continue;
        const std::string next = at.empty() ? name : Join(at, name);
        struct stat link {};
        // Where nothing is, no link is followed; the write that follows says why it fails.
        if (lstat(next.c_str(), &link) != 0)
            return true;
        if (!S_ISLNK(link.st_mode)) {
            at = next;
            continue;
        }
        struct stat folder {};
        if (stat(at.empty() ? "." : at.c_str(), &folder) != 0)
            return true;
        const bool shared = (folder.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
        if (shared && link.st_uid != geteuid() && link.st_uid != folder.st_uid) {
            reason = "the link " + next + " is owned by " + UserName(link.st_uid)
                + ", and a link in a sticky folder anyone may write to (" + (at.empty() ? "." : at)
                + ") is followed only when this user or the folder's owner owns it";
            return false;
        }
        std::string target(size_t(link.st_size > 0 ? link.st_size : 255) + 1, '\0');
        const ssize_t n = readlink(next.c_str(), target.data(), target.size());
        if (n < 0 || ++hops > kMaxLinks) {
            reason = "cannot follow the link " + next + ": " + SystemReason(n < 0 ? errno : ELOOP);
            return false;
        }
        target.resize(size_t(n));
        if (!target.empty() && target[0] == '/')
            at = "/";
        push(target);
    }
    return true;
}

bool SaveFile(const std::string& path, const uint8_t* data, size_t length, std::string& error)
{
    if (path.empty()) {
        error = "No file name given";
        return false;
    }
    if (std::string reason; !LinksMayBeFollowed(path, reason)) {
        error = "Cannot save " + path + ": " + reason;
        return false;
    }
    std::string target;
    if (!FollowLinks(path, target, error))
        return false;
    const std::string cannot = "Cannot save " + path + (target == path ? "" : " (" + target + ")") + ": ";

    struct stat old {};
    const bool exists = lstat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) {
        error = cannot + SystemReason(errno);
        return false;
    }
    if (exists && !S_ISREG(old.st_mode)) {
        error = cannot + "it is " + KindOf(old.st_mode) + ", not a regular file";
        return false;
    }
    if (exists && old.st_nlink > 1) {
        error = cannot + "it has " + std::to_string(old.st_nlink)
            + " hard links, and a new file would part it from the others";
        return false;
    }

    const std::string folder = Folder(target);
    const SaveUnderWay underWay;
    RemoveLeftovers(folder, BaseName(target));
    std::string temporary;
    const int fd = MakeTemporary(target, temporary);
    if (fd < 0) {
        error = cannot + "no temporary file can be made in " + folder + ": " + SystemReason(errno);
        return false;
    }
    auto fail = [&](const std::string& reason) {
        unlink(temporary.c_str());
        error = cannot + reason;
        return false;
    };

    if (exists) {
        struct stat made {};
        if (fstat(fd, &made) != 0 || ((made.st_uid != old.st_uid || made.st_gid != old.st_gid)
                                      && fchown(fd, old.st_uid, old.st_gid) != 0)) {
            const std::string reason = "its owner cannot be kept: " + SystemReason(errno);
            CloseKeepingErrno(fd);
            return fail(reason);
        }
        // After the owner: a change of owner clears the set-id bits.
        if (fchmod(fd, old.st_mode & 07777) != 0) {
            const std::string reason = "its mode cannot be kept: " + SystemReason(errno);
            CloseKeepingErrno(fd);
            return fail(reason);
        }
    }
    bool written = WriteAll(fd, data, length);
    while (written && fsync(fd) != 0) {
        if (errno != EINTR)
            written = false;
    }
    if (!written) {
        const std::string reason = SystemReason(errno);
        CloseKeepingErrno(fd);
        return fail(reason);
    }
    if (close(fd) != 0)
        return fail(SystemReason(errno));
    if (rename(temporary.c_str(), target.c_str()) != 0)
        return fail(SystemReason(errno));
    SyncFolder(folder);
    return true;
}

namespace {

// Opens the regular file at path to read it, without blocking, and gives its
// descriptor and what fstat says of it; -1 with the reason (beginning with
// cannot) for anything else.
int OpenRegularToRead(const std::string& path, const std::string& cannot, struct stat& info, std::string& error)
{
    if (path.empty()) {
        error = "No file name given";
        return -1;
    }
    // Looked at before it is opened: opening a device can itself do something
    // (raise a modem line, rewind a tape).
    if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        error = cannot + "it is " + KindOf(info.st_mode) + ", not a regular file";
        return -1;
    }
    // Non-blocking, so a FIFO put in its place meanwhile does not hold the
    // program; it is refused below anyway.
    const int fd = OpenRetrying(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        error = cannot + SystemReason(errno);
        return -1;
    }
    if (fstat(fd, &info) != 0) {
        error = cannot + SystemReason(errno);
        close(fd);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        error = cannot + "it is " + KindOf(info.st_mode) + ", not a regular file";
        close(fd);
        return -1;
    }
    return fd;
}

// whole: the file is refused when it has more than maxBytes; otherwise the
// first maxBytes are read.
bool Read(const std::string& path, size_t maxBytes, bool whole, std::string& bytes, std::string& error)
{
    bytes.clear();
    const std::string cannot = "Cannot read " + path + ": ";
    struct stat info {};
    const int fd = OpenRegularToRead(path, cannot, info, error);
    if (fd < 0)
        return false;
    if (whole && uint64_t(info.st_size) > maxBytes) {
        error = cannot + "it is " + std::to_string(info.st_size) + " bytes, more than the " + std::to_string(maxBytes)
            + " bytes allowed";
        close(fd);
        return false;
    }
    const size_t wanted = size_t(info.st_size) < maxBytes ? size_t(info.st_size) : maxBytes;
    bytes.assign(wanted, '\0');
    size_t got = 0;
    // The size may change while reading (and a file of the kernel's tells
    // none): read until the end, or one byte past the limit to tell a file
    // that grew beyond it.
    const size_t until = whole ? maxBytes + 1 : maxBytes;
    while (got < until) {
        if (got == bytes.size())
            bytes.resize(std::min(until, bytes.size() + 4096));
        const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = cannot + SystemReason(errno);
            close(fd);
            return false;
        }
        if (n == 0)
            break;
        got += size_t(n);
    }
    close(fd);
    if (got > maxBytes) {
        bytes.clear();
        error = cannot + "it grew past the " + std::to_string(maxBytes) + " bytes allowed while it was read";
        return false;
    }
    bytes.resize(got);
    return true;
}

} // namespace

bool ReadFile(const std::string& path, size_t maxBytes, std::string& bytes, std::string& error)
{
    return Read(path, maxBytes, true, bytes, error);
}

bool ReadFileStart(const std::string& path, size_t count, std::string& bytes, std::string& error)
{
    return Read(path, count, false, bytes, error);
}

bool ReadFileInPieces(const std::string& path, const std::function<bool(const char*, size_t)>& take,
                      std::string& error)
{
    const std::string cannot = "Cannot read " + path + ": ";
    struct stat info {};
    const int fd = OpenRegularToRead(path, cannot, info, error);
    if (fd < 0)
        return false;
    char piece[64 * 1024];
    for (;;) {
        const ssize_t n = read(fd, piece, sizeof piece);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = cannot + SystemReason(errno);
        if (n <= 0 || !take(piece, size_t(n))) {
            close(fd);
            return n >= 0;
        }
    }
}

bool FileSize(const std::string& path, uint64_t& size, std::string& error)
{
    if (path.empty()) {
        error = "No file name given";
        return false;
    }
    const std::string cannot = "Cannot read " + path + ": ";
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        error = cannot + SystemReason(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = cannot + "it is " + KindOf(info.st_mode) + ", not a regular file";
        return false;
    }
    size = uint64_t(info.st_size);
    return true;
}

bool IsReadable(const std::string& path)
{
    return !path.empty() && access(path.c_str(), R_OK) == 0;
}

bool PathExists(const std::string& path)
{
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

bool MakeFolder(const std::string& path, std::string& error)
{
    if (RetryEintr([&] { return mkdir(path.c_str(), 0755); }) == 0)
        return true;
    const int made = errno;
    struct stat info {};
    if (made == EEXIST && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return true;
    error = "cannot make the folder '" + path + "': ";
    if (made == ENOENT) {
        std::string parent = path;
        while (parent.size() > 1 && parent.back() == '/')
            parent.pop_back();
        const size_t slash = parent.rfind('/');
        parent = slash == std::string::npos ? "." : slash == 0 ? "/" : parent.substr(0, slash);
        error += "'" + parent + "' does not exist";
    } else {
        error += made == EEXIST ? "it is there and is not a folder" : std::strerror(made);
    }
    return false;
}

} // namespace kalo::platform
