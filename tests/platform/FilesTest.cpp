#include "platform/Files.h"
#include "platform/WireTrace.h"
#include "support/WireLogText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

using namespace kalo::platform;

namespace {

const std::string kNew = "new bytes";
using Names = std::vector<std::string>;

// A folder of its own for each test, removed with everything in it.
struct Folder {
    std::string path = [] {
        std::string pattern = ::testing::TempDir() + "kalo-files-XXXXXX";
        return std::string(mkdtemp(pattern.data()));
    }();
    ~Folder() { std::filesystem::remove_all(path); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    Names List() const
    {
        Names names;
        for (const auto& entry : std::filesystem::directory_iterator(path))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
};

void Write(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

bool Save(const std::string& path, std::string& error)
{
    return SaveFile(path, reinterpret_cast<const uint8_t*>(kNew.data()), kNew.size(), error);
}

// What a refused save must leave as it was: the kinds at the path and behind
// it, the links, and a regular file's contents.
std::string Fingerprint(const std::string& path)
{
    struct stat at {}, behind {};
    if (lstat(path.c_str(), &at) != 0 || stat(path.c_str(), &behind) != 0)
        return "nothing";
    const std::string kinds = std::to_string(at.st_mode) + " " + std::to_string(behind.st_mode) + " " +
                              std::to_string(behind.st_nlink) + " " + std::to_string(behind.st_ino) + " ";
    return S_ISREG(behind.st_mode) ? kinds + kalo::test::FileBytes(path) : kinds;
}

} // namespace

// Save refuses what is not a regular file of its own and leaves it as it was;
// Read refuses what is not a regular file, and neither ever waits (a FIFO
// without a writer would hang the test).
TEST(Files, RefuseWhatIsNotARegularFile)
{
    const Folder folder;
    mkfifo((folder / "pipe.sts").c_str(), 0600);
    mkdir((folder / "dir.sts").c_str(), 0700);
    symlink("pipe.sts", (folder / "link.sts").c_str());
    Write(folder / "one.sts", "old");
    link((folder / "one.sts").c_str(), (folder / "two.sts").c_str());
    const struct {
        std::string path;
        const char* saveReason;
        const char* readReason; // "" when it is read
    } rows[] = {
        {"/dev/null", "a character device", "a character device"},
        {folder / "pipe.sts", "a FIFO", "a FIFO"},
        {folder / "dir.sts", "a folder", "a folder"},
        {folder / "link.sts", "a FIFO", "a FIFO"},
        {folder / "two.sts", "2 hard links", ""},
        {"/proc/version", "no temporary file can be made", ""},
        {"/nonexistent-folder/x.sts", "x.sts", "No such file"},
        {"", "No file name given", "No file name given"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        const std::string before = Fingerprint(row.path);
        std::string error, bytes, readError;
        EXPECT_FALSE(Save(row.path, error));
        EXPECT_NE(error.find(row.saveReason), std::string::npos) << error;
        EXPECT_EQ(Fingerprint(row.path), before);
        EXPECT_EQ(ReadFile(row.path, 292, bytes, readError), !*row.readReason);
        EXPECT_NE(readError.find(row.readReason), std::string::npos) << readError;
        EXPECT_EQ(bytes.empty(), !!*row.readReason);
    }
    EXPECT_EQ(folder.List(), (Names{"dir.sts", "link.sts", "one.sts", "pipe.sts", "two.sts"}));
    // A file over the limit is refused by its size, never cut.
    for (const size_t size : {292, 293}) {
        Write(folder / "big", std::string(size, 'x'));
        std::string bytes, error;
        EXPECT_EQ(ReadFile(folder / "big", 292, bytes, error), size == 292) << size;
        EXPECT_EQ(error, size == 292 ? "" : "Cannot read " + (folder / "big") + ": it is 293 bytes, more than the 292 bytes allowed");
        EXPECT_EQ(bytes, size == 292 ? std::string(292, 'x') : "");
    }
}

TEST(SaveFile, ReplacesARegularFileKeepingOwnerModeAndLinks)
{
    const Folder folder;
    // A file of another user, read-only for the group, reached through a
    // relative symlink in another folder.
    mkdir((folder / "sub").c_str(), 0700);
    Write(folder / "data.sts", "old");
    chmod((folder / "data.sts").c_str(), 0640);
    ASSERT_EQ(chown((folder / "data.sts").c_str(), 65534, 65534), 0) << "the tests run as root";
    symlink("../data.sts", (folder / "sub/link.sts").c_str());

    std::string error;
    ASSERT_TRUE(Save(folder / "sub/link.sts", error)) << error;
    struct stat link {}, data {};
    ASSERT_EQ(lstat((folder / "sub/link.sts").c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_EQ(kalo::test::FileBytes(folder / "data.sts"), kNew);
    ASSERT_EQ(stat((folder / "data.sts").c_str(), &data), 0);
    EXPECT_EQ(std::tie(data.st_mode, data.st_uid, data.st_gid), std::make_tuple(S_IFREG | 0640u, 65534u, 65534u));
    EXPECT_EQ(folder.List(), (Names{"data.sts", "sub"}));

    // A new file gets the usual permissions; only leftovers of gone writers
    // of the same name are removed, ours too (a killed writer's number reused).
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone), alive = std::to_string(getppid());
    for (const std::string& name : {"F.sts.kalo-" + dead + "-abc123", "F.sts.kalo-" + alive + "-abc123",
                                    "F.sts.kalo-" + std::to_string(getpid()) + "-abc123",
                                    "G.sts.kalo-" + dead + "-abc123", "F.sts.kalo-" + dead + "-toolong1"})
        Write(folder / name, "half");
    const mode_t mask = umask(022);
    ASSERT_TRUE(Save(folder / "F.sts", error)) << error;
    umask(mask);
    ASSERT_EQ(stat((folder / "F.sts").c_str(), &data), 0);
    EXPECT_EQ(data.st_mode & 07777, 0644u);
    // Listed by name, so the order of the two process numbers is theirs.
    Names left = {"F.sts", "F.sts.kalo-" + alive + "-abc123", "F.sts.kalo-" + dead + "-toolong1",
                  "G.sts.kalo-" + dead + "-abc123", "data.sts", "sub"};
    std::sort(left.begin(), left.end());
    EXPECT_EQ(folder.List(), left);
}

// A save that fails half way (a file-size limit), or whose new file could
// not keep the old one's owner (root's file, saved by nobody), leaves the
// old file whole and no temporary beside it.
TEST(SaveFile, AFailedSaveLeavesTheOldFileAndNoTemporary)
{
    ASSERT_EQ(getuid(), 0u) << "the tests run as root";
    for (const bool asNobody : {false, true}) {
        SCOPED_TRACE(asNobody ? "owner cannot be kept" : "write fails half way");
        const Folder folder;
        chmod(folder.path.c_str(), 0777);
        const std::string path = folder / "keep.sts", old(300, '\x02');
        Write(path, old);
        chmod(path.c_str(), 0666);
        const pid_t child = fork();
        if (child == 0) {
            std::string error;
            signal(SIGXFSZ, SIG_IGN);
            const rlimit small{4, RLIM_INFINITY};
            const bool ready = asNobody ? setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0
                                        : setrlimit(RLIMIT_FSIZE, &small) == 0;
            const bool refused = !Save(path, error)
                && error.find(asNobody ? "owner cannot be kept" : "File too large") != std::string::npos;
            _exit(ready && refused ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        struct stat info {};
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, 0u);
        EXPECT_EQ(kalo::test::FileBytes(path), old);
        EXPECT_EQ(folder.List(), Names{"keep.sts"});
    }
}

// A link another user planted in a sticky folder anyone may write to leads
// neither a save nor a trace anywhere, wherever in the path it stands, even
// with the kernel's own rule off.
TEST(SaveFile, FollowsNoLinkAnotherUserPlantedInASharedFolder)
{
    ASSERT_EQ(geteuid(), 0u) << "the tests run as root";
    const Folder folder;
    mkdir((folder / "real").c_str(), 0700);
    for (const auto& [shared, mode, owner] : {std::tuple{"shared", 01777, 0}, std::tuple{"theirs", 01777, 65534},
                                              std::tuple{"open", 0777, 0}}) {
        mkdir((folder / shared).c_str(), 0);
        chmod((folder / shared).c_str(), mode_t(mode));
        chown((folder / shared).c_str(), uid_t(owner), gid_t(owner));
    }
    const struct {
        const char* path;
        const char* link; // planted at the path's start, and whose
        const char* target;
        uid_t owner;
        const char* reached; // what a followed link writes
        const char* refused; // the link refused, "" when followed
    } rows[] = {
        {"shared/x.sts", "shared/x.sts", "../root.sts", 65534, "root.sts", "shared/x.sts"},
        {"shared/mine.sts", "shared/mine.sts", "../root.sts", 0, "root.sts", ""},
        {"theirs/x.sts", "theirs/x.sts", "../root.sts", 65534, "root.sts", ""}, // the folder's owner's
        {"open/x.sts", "open/x.sts", "../root.sts", 65534, "root.sts", ""},     // not sticky
        {"shared/dir/new.sts", "shared/dir", "../real", 65534, "real/new.sts", "shared/dir"},
        {"chain.sts", "chain.sts", "shared/x.sts", 0, "root.sts", "shared/x.sts"}, // mine, to the first row's
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        symlink(row.target, (folder / row.link).c_str());
        lchown((folder / row.link).c_str(), row.owner, row.owner);
        Write(folder / "root.sts", "root's");
        unlink((folder / "real/new.sts").c_str());
        const std::string before = kalo::test::FileBytes(folder / row.reached);
        std::string error, traceError;
        EXPECT_EQ(OpenTraceFile(folder / row.path, traceError) == nullptr, !!*row.refused) << traceError;
        EXPECT_EQ(Save(folder / row.path, error), !*row.refused) << error;
        EXPECT_EQ(kalo::test::FileBytes(folder / row.reached), *row.refused ? before : kNew);
        if (*row.refused) {
            EXPECT_EQ(traceError, "the link " + (folder / row.refused) + " is owned by nobody (uid 65534), and a link "
                                  "in a sticky folder anyone may write to (" + (folder / "shared")
                                  + ") is followed only when this user or the folder's owner owns it");
            EXPECT_EQ(error, "Cannot save " + (folder / row.path) + ": " + traceError);
        }
    }
}
