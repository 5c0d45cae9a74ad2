#include "platform/Files.h"
#include "platform/WireTrace.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

using namespace kalo::platform;

namespace {

const std::string kNew = "new bytes";

// A folder of its own for each test, removed with everything in it.
struct Folder {
    Folder()
    {
        std::string pattern = ::testing::TempDir() + "kalo-files-XXXXXX";
        path = mkdtemp(pattern.data());
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string path;
};

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

bool Save(const std::string& path, std::string& error)
{
    return SaveFile(path, reinterpret_cast<const uint8_t*>(kNew.data()), kNew.size(), error);
}

pid_t DeadPid()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
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
    return S_ISREG(behind.st_mode) ? kinds + Contents(path) : kinds;
}

} // namespace

// Save refuses what is not a regular file of its own and leaves it as it was;
// Read refuses what is not a regular file, and neither ever waits.
TEST(Files, RefuseWhatIsNotARegularFile)
{
    const Folder folder;
    mkfifo((folder / "pipe.sts").c_str(), 0600);
    mkdir((folder / "dir.sts").c_str(), 0700);
    symlink("pipe.sts", (folder / "link.sts").c_str());
    Write(folder / "one.sts", "old");
    link((folder / "one.sts").c_str(), (folder / "two.sts").c_str());
    const struct {
        const char* what;
        std::string path;
        const char* saveReason;
        const char* readReason; // "" when it is read
    } rows[] = {
        {"character device", "/dev/null", "a character device", "a character device"},
        {"FIFO without a writer", folder / "pipe.sts", "a FIFO", "a FIFO"},
        {"folder", folder / "dir.sts", "a folder", "a folder"},
        {"symlink to a FIFO", folder / "link.sts", "a FIFO", "a FIFO"},
        {"second hard link", folder / "two.sts", "2 hard links", ""},
        {"no temporary beside it", "/proc/version", "no temporary file can be made", ""},
        {"folder missing", "/nonexistent-folder/x.sts", "x.sts", "No such file"},
        {"empty path", "", "No file name given", "No file name given"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string before = Fingerprint(row.path);
        const auto start = std::chrono::steady_clock::now();
        std::string error, bytes, readError;
        EXPECT_FALSE(Save(row.path, error));
        EXPECT_NE(error.find(row.saveReason), std::string::npos) << error;
        EXPECT_EQ(Fingerprint(row.path), before);
        EXPECT_EQ(ReadFile(row.path, 292, bytes, readError), !*row.readReason);
        EXPECT_NE(readError.find(row.readReason), std::string::npos) << readError;
        EXPECT_EQ(bytes.empty(), !!*row.readReason);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"dir.sts", "link.sts", "one.sts", "pipe.sts", "two.sts"}));
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
    EXPECT_EQ(Contents(folder / "data.sts"), kNew);
    ASSERT_EQ(stat((folder / "data.sts").c_str(), &data), 0);
    EXPECT_EQ(data.st_mode & 07777, 0640u);
    EXPECT_EQ(data.st_uid, 65534u);
    EXPECT_EQ(data.st_gid, 65534u);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"data.sts", "sub"}));

    // A new file gets the usual permissions; only leftovers of gone writers
    // of the same name are removed, ours too (a killed writer's number reused).
    const std::string dead = std::to_string(DeadPid()), alive = std::to_string(getppid());
    for (const std::string& name : {"F.sts.kalo-" + dead + "-abc123", "F.sts.kalo-" + alive + "-abc123",
                                    "F.sts.kalo-" + std::to_string(getpid()) + "-abc123",
                                    "G.sts.kalo-" + dead + "-abc123", "F.sts.kalo-" + dead + "-toolong1"})
        Write(folder / name, "half");
    // A running process's number on a file older than that process: the
    // number came back after its writer died.
    const std::string reused = folder / ("F.sts.kalo-" + alive + "-old123");
    Write(reused, "half");
    const timespec longAgo[2] = {{946684800, 0}, {946684800, 0}};
    utimensat(AT_FDCWD, reused.c_str(), longAgo, 0);
    const mode_t mask = umask(022);
    ASSERT_TRUE(Save(folder / "F.sts", error)) << error;
    umask(mask);
    ASSERT_EQ(stat((folder / "F.sts").c_str(), &data), 0);
    EXPECT_EQ(data.st_mode & 07777, 0644u);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"F.sts", "F.sts.kalo-" + alive + "-abc123",
                                                        "F.sts.kalo-" + dead + "-toolong1",
                                                        "G.sts.kalo-" + dead + "-abc123", "data.sts", "sub"}));
}

TEST(SaveFile, AFailedWriteLeavesTheOldFileAndNoTemporary)
{
    const Folder folder;
    const std::string path = folder / "keep.sts";
    const std::string old(300, '\x02');
    Write(path, old);
    // A file-size limit makes the write fail half way.
    signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = 4;
    setrlimit(RLIMIT_FSIZE, &small);
    std::string error;
    const bool saved = Save(path, error);
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_FALSE(saved);
    EXPECT_NE(error.find("File too large"), std::string::npos) << error;
    EXPECT_EQ(Contents(path), old);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"keep.sts"});
}

TEST(SaveFile, RefusesWhenTheOwnerCannotBeKept)
{
    // A file of root's that anyone may write, saved by nobody: the new file
    // would be nobody's, so the save is refused and the old file stays.
    const Folder folder;
    chmod(folder.path.c_str(), 0777);
    const std::string path = folder / "shared.sts";
    Write(path, "old");
    chmod(path.c_str(), 0666);
    ASSERT_EQ(getuid(), 0u) << "the tests run as root";
    const pid_t child = fork();
    if (child == 0) {
        std::string error;
        const bool dropped = setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
        const bool refused = !Save(path, error) && error.find("owner cannot be kept") != std::string::npos;
        _exit(dropped && refused ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 0u);
    EXPECT_EQ(Contents(path), "old");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"shared.sts"});
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
        const std::string before = Contents(folder / row.reached);
        std::string error, traceError;
        EXPECT_EQ(OpenTraceFile(folder / row.path, traceError) == nullptr, !!*row.refused) << traceError;
        EXPECT_EQ(Save(folder / row.path, error), !*row.refused) << error;
        EXPECT_EQ(Contents(folder / row.reached), *row.refused ? before : kNew);
        if (*row.refused) {
            EXPECT_EQ(traceError, "the link " + (folder / row.refused) + " is owned by nobody (uid 65534), and a link "
                                  "in a sticky folder anyone may write to (" + (folder / "shared")
                                  + ") is followed only when this user or the folder's owner owns it");
            EXPECT_EQ(error, "Cannot save " + (folder / row.path) + ": " + traceError);
        }
    }
}

// A save killed at any moment leaves the old file or the new one, whole, and
// nothing that stops the next save or stays behind after it.
TEST(SaveFile, KilledAtAnyMomentLeavesTheOldOrTheNewFileWhole)
{
    const Folder folder;
    const std::string path = folder / "loop.sts";
    // Of different lengths and bytes, so any mix of the two, or a cut one, is neither.
    const std::string contents[] = {std::string(3000, 'A'), std::string(9000, 'b') + "end"};
    Write(path, contents[0]);
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> delayMicros(0, 8000);
    // A few hundred runs where starting a process is quick; fewer, but still
    // many caught half way, where it is slow (the sanitized build).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    int runs = 0, temporariesLeft = 0;
    for (; runs < 300 && std::chrono::steady_clock::now() < deadline; ++runs) {
        const int delay = delayMicros(random);
        SCOPED_TRACE("run " + std::to_string(runs) + ", killed " + std::to_string(delay) + " us in");
        kalo::test::ChildProcess saver(KALO_SAVE_LOOP_PATH, {path, contents[0], contents[1]});
        ASSERT_EQ(saver.ReadLine(), "saving");
        std::this_thread::sleep_for(std::chrono::microseconds(delay));
        kill(saver.Pid(), SIGKILL);
        ASSERT_EQ(saver.Stop(), 128 + SIGKILL) << "the loop stopped saving by itself";
        const std::string left = Contents(path);
        ASSERT_TRUE(left == contents[0] || left == contents[1]) << left.size() << " bytes of neither";
        temporariesLeft += folder.Names().size() > 1;
        std::string error;
        const std::string& next = contents[runs % 2];
        ASSERT_TRUE(SaveFile(path, reinterpret_cast<const uint8_t*>(next.data()), next.size(), error)) << error;
        ASSERT_EQ(folder.Names(), std::vector<std::string>{"loop.sts"});
    }
    RecordProperty("runs", runs);
    RecordProperty("temporariesLeft", temporariesLeft);
    EXPECT_GT(temporariesLeft, 0) << "no kill came in the middle of a save";
}
