#include "../ChildProcesses.h"

#include "RetryEintr.h"
#include "Wakeup.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kalo::platform {

namespace {

// How often a child whose pipes are closed is looked at until it has ended.
constexpr int64_t kExitTickMicros = 10000;

// Where a child reports its peak memory: this descriptor, named to it in
// this variable.
constexpr int kPeakFd = 3;
constexpr const char* kPeakVariable = "KALO_PEAK_FD";

struct Child {
    pid_t pid = -1;
    int fds[2] = {-1, -1}; // standard output, standard error
    int peakFd = -1;
    std::string notStarted;
};

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

class PosixChildProcesses final : public ChildProcesses {
public:
    ~PosixChildProcesses() override
    {
        for (auto& entry : m_children) {
            Child& child = entry.second;
            CloseFd(child.fds[0]);
            CloseFd(child.fds[1]);
            CloseFd(child.peakFd);
            if (child.pid > 0) {
                ::kill(-child.pid, SIGKILL);
                int status = 0;
                RetryEintr([&] { return ::waitpid(child.pid, &status, 0); });
            }
        }
    }

    int Start(const std::string& program, const std::vector<std::string>& args,
              const std::vector<std::string>& added) override
    {
        const int handle = m_nextHandle++;
        Child& child = Insert(handle);
        int out[2] = {-1, -1}, err[2] = {-1, -1}, peak[2] = {-1, -1};
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0 || ::pipe2(peak, O_CLOEXEC) != 0) {
            child.notStarted = std::string("pipe: ") + std::strerror(errno);
            for (int* fd : {&out[0], &out[1], &err[0], &err[1]})
                CloseFd(*fd);
            return handle;
        }
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        const std::string peakSetting = std::string(kPeakVariable) + "=" + std::to_string(kPeakFd);
        std::vector<char*> environment;
        for (char** entry = environ; *entry; ++entry) {
            if (!SameName(*entry, peakSetting)
                && std::none_of(added.begin(), added.end(), [&](const std::string& a) { return SameName(*entry, a); }))
                environment.push_back(*entry);
        }
        for (const std::string& entry : added)
            environment.push_back(const_cast<char*>(entry.c_str()));
        environment.push_back(const_cast<char*>(peakSetting.c_str()));
        environment.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        posix_spawn_file_actions_adddup2(&actions, peak[1], kPeakFd);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        // Its own process group; no signal blocked or ignored that this
        // program blocks or ignores (a broken pipe ends a child that writes
        // on after its reader went, as it would from a shell).
        sigset_t none, defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGCHLD})
            sigaddset(&defaults, signal);
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes,
                                 POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        pid_t pid = -1;
        // The p form looks on PATH for a bare name, as a shell would.
        const auto spawn = program.find('/') == std::string::npos ? ::posix_spawnp : ::posix_spawn;
        const int failed = spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environment.data());
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        CloseFd(out[1]);
        CloseFd(err[1]);
        CloseFd(peak[1]);
        if (failed != 0) {
            child.notStarted = program + ": " + std::strerror(failed);
            CloseFd(out[0]);
            CloseFd(err[0]);
            CloseFd(peak[0]);
            return handle;
        }
        {
            const std::lock_guard lock(m_lock);
            child.pid = pid;
        }
        child.fds[0] = out[0];
        child.fds[1] = err[0];
        // Read once the child has ended, not waited on: a program it starts
        // in turn may hold the descriptor open.
        child.peakFd = peak[0];
        for (const int fd : {out[0], err[0], peak[0]})
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        return handle;
    }

    void Wait(int64_t timeoutMicros, ChildListener& listener) override
    {
        std::vector<pollfd> polled;
        std::vector<std::pair<int, int>> owners; // handle, stream
        bool exitPending = false;
        for (auto& [handle, child] : m_children) {
            if (child.pid < 0) {
                timeoutMicros = 0;
                continue;
            }
            for (int stream = 0; stream < 2; ++stream) {
                if (child.fds[stream] >= 0) {
                    polled.push_back({child.fds[stream], POLLIN, 0});
                    owners.emplace_back(handle, stream);
                }
            }
            if (child.fds[0] < 0 && child.fds[1] < 0)
                exitPending = true;
        }
        if (exitPending)
            timeoutMicros = std::min(timeoutMicros, kExitTickMicros);
        if (const int wake = WakeupFd(); wake >= 0)
            polled.push_back({wake, POLLIN, 0});
        timeoutMicros = std::max<int64_t>(0, timeoutMicros);
        const timespec timeout{time_t(timeoutMicros / 1000000), long(timeoutMicros % 1000000) * 1000};
        // A signal ends the wait early; the caller looks at the interruption
        // and waits again with the time it has left.
        const int ready = ::ppoll(polled.data(), polled.size(), &timeout, nullptr);
        if (ready > 0) {
            for (size_t i = 0; i < owners.size(); ++i) {
                if (polled[i].revents != 0)
                    Drain(owners[i].first, owners[i].second, listener);
            }
        }
        Reap(listener);
    }

    void Stop(int handle, StopKind kind) override
    {
        // Held so that the child is not reaped between the look and the
        // kill, its process group's number free for another.
        const std::lock_guard lock(m_lock);
        const auto found = m_children.find(handle);
        if (found != m_children.end() && found->second.pid > 0)
            ::kill(-found->second.pid, kind == StopKind::Kill ? SIGKILL : SIGTERM);
    }

    size_t Running() const override { return m_children.size(); }

private:
    Child& Insert(int handle)
    {
        const std::lock_guard lock(m_lock);
        return m_children[handle];
    }

    // Whether the environment entry sets the variable that setting sets.
    static bool SameName(const char* entry, const std::string& setting)
    {
        const size_t name = setting.find('=');
        return name != std::string::npos && std::strncmp(entry, setting.c_str(), name + 1) == 0;
    }

    void Drain(int handle, int stream, ChildListener& listener)
    {
        Child& child = m_children[handle];
        char chunk[16384];
        for (;;) {
            const ssize_t n = RetryEintr([&] { return ::read(child.fds[stream], chunk, sizeof chunk); });
            if (n > 0) {
                listener.Output(handle, stream == 0 ? ChildStream::Output : ChildStream::Error,
                                std::string_view(chunk, size_t(n)));
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            CloseFd(child.fds[stream]);
            return;
        }
    }

    // What the ended child wrote as it ended; 0 when nothing.
    static int64_t ReportedPeak(int& fd)
    {
        char text[32] = {};
        const ssize_t n = RetryEintr([&] { return ::read(fd, text, sizeof text - 1); });
        CloseFd(fd);
        return n > 0 ? std::strtoll(text, nullptr, 10) : 0;
    }

    // Children whose pipes are both closed, and those never started.
    void Reap(ChildListener& listener)
    {
        for (auto it = m_children.begin(); it != m_children.end();) {
            std::unique_lock lock(m_lock);
            Child& child = it->second;
            ChildExit exit;
            if (child.pid < 0) {
                exit.end = ChildEnd::NotStarted;
                exit.text = child.notStarted;
            } else {
                int status = 0;
                if (child.fds[0] >= 0 || child.fds[1] >= 0
                    || RetryEintr([&] { return ::waitpid(child.pid, &status, WNOHANG); }) != child.pid) {
                    ++it;
                    continue;
                }
                exit.end = WIFSIGNALED(status) ? ChildEnd::Signalled : ChildEnd::Exited;
                exit.code = WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status);
                exit.peakKiB = ReportedPeak(child.peakFd);
                if (exit.end == ChildEnd::Signalled)
                    exit.text = ::strsignal(exit.code);
            }
            const int handle = it->first;
            it = m_children.erase(it);
            lock.unlock();
            listener.Ended(handle, exit);
        }
    }

    // Guards the map's shape and the pids against a Stop from another thread.
    std::mutex m_lock;
    std::map<int, Child> m_children;
    int m_nextHandle = 1;
};

} // namespace

std::unique_ptr<ChildProcesses> NewChildProcesses()
{
    return std::make_unique<PosixChildProcesses>();
}

std::string OwnProgram()
{
    // Names the running program's file even when a newer build replaced it.
    return "/proc/self/exe";
}

int64_t OwnPeakKiB()
{
    // VmHWM is this program's own; getrusage's figure starts from the peak
    // of the process it was started from.
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtoll(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

namespace {

int g_peakFd = -1;

void WritePeak()
{
    const std::string text = std::to_string(OwnPeakKiB()) + "\n";
    RetryEintr([&] { return ::write(g_peakFd, text.data(), text.size()); });
}

} // namespace

void ReportPeakAtExit()
{
    const char* given = std::getenv(kPeakVariable);
    if (!given || std::strtol(given, nullptr, 10) != kPeakFd)
        return;
    // Told to this program alone, not to those it starts.
    ::unsetenv(kPeakVariable);
    struct stat info {};
    if (::fstat(kPeakFd, &info) != 0 || !S_ISFIFO(info.st_mode))
        return;
    ::fcntl(kPeakFd, F_SETFD, FD_CLOEXEC);
    g_peakFd = kPeakFd;
    std::atexit(WritePeak);
}

} // namespace kalo::platform
