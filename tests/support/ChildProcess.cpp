#include "ChildProcess.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace kalo::test {

namespace {

int64_t NowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int Spawn(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& env,
          int outFd, int errFd)
{
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e)
        envStrings.emplace_back(*e);
    envStrings.insert(envStrings.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (auto& e : envStrings)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    if (errFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    // The child must not inherit blocked termination signals from a test.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return pid;
}

int WaitPid(int pid, int timeoutMs)
{
    const int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        int status = 0;
        const int r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (r < 0 || NowMs() > deadline)
            return -1;
        usleep(2000);
    }
}

std::string Drain(int fd, int64_t deadline)
{
    std::string text;
    char chunk[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int left = int(std::max<int64_t>(0, deadline - NowMs()));
        if (poll(&p, 1, left) <= 0)
            break;
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0)
            break;
        text.append(chunk, size_t(n));
    }
    return text;
}

} // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& env)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    m_pid = Spawn(program, args, env, fds[1], -1);
    close(fds[1]);
    m_out = fds[0];
}

ChildProcess::~ChildProcess()
{
    Stop();
    if (m_out >= 0)
        close(m_out);
}

std::string ChildProcess::ReadLine(int timeoutMs)
{
    const int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        const size_t newline = m_pending.find('\n');
        if (newline != std::string::npos) {
            std::string line = m_pending.substr(0, newline);
            m_pending.erase(0, newline + 1);
            return line;
        }
        pollfd p{m_out, POLLIN, 0};
        const int left = int(std::max<int64_t>(0, deadline - NowMs()));
        if (m_out < 0 || poll(&p, 1, left) <= 0)
            return "";
        char chunk[512];
        const ssize_t n = read(m_out, chunk, sizeof chunk);
        if (n <= 0)
            return "";
        m_pending.append(chunk, size_t(n));
    }
}

int ChildProcess::Wait(int timeoutMs)
{
    if (m_pid > 0) {
        m_status = WaitPid(m_pid, timeoutMs);
        if (m_status >= 0)
            m_pid = -1;
    }
    return m_status;
}

int ChildProcess::Stop()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        if (Wait(5000) < 0) {
            kill(m_pid, SIGKILL);
            Wait(5000);
        }
    }
    return m_status;
}

std::string ChildProcess::RestOfOutput()
{
    std::string rest = m_pending + (m_out >= 0 ? Drain(m_out, NowMs() + 1000) : "");
    m_pending.clear();
    return rest;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, int timeoutMs)
{
    RunResult result;
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        return result;
    const int pid = Spawn(program, args, env, out[1], err[1]);
    close(out[1]);
    close(err[1]);
    const int64_t deadline = NowMs() + timeoutMs;
    result.out = Drain(out[0], deadline);
    result.err = Drain(err[0], NowMs() + 1000);
    close(out[0]);
    close(err[0]);
    if (pid > 0) {
        result.status = WaitPid(pid, int(std::max<int64_t>(1000, deadline - NowMs())));
        if (result.status < 0) {
            kill(pid, SIGKILL);
            WaitPid(pid, 5000);
        }
    }
    return result;
}

int OpenDescriptorCount()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            ++count;
        closedir(dir);
    }
    return count;
}

uint16_t ClosedLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

PtyPair::PtyPair()
{
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    grantpt(master);
    unlockpt(master);
    path = ptsname(master);
}

PtyPair::~PtyPair()
{
    CloseMaster();
}

void PtyPair::CloseMaster()
{
    if (master >= 0)
        close(master);
    master = -1;
}

VirtualPrinterProcess::VirtualPrinterProcess(std::vector<std::string> args)
    : process(KALO_VPRINTER_PATH, args)
{
    const bool tcp = std::find(args.begin(), args.end(), "--tcp") != args.end();
    const bool pty = std::find(args.begin(), args.end(), "--pty") != args.end();
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--wire-log")
            wireLogPath = args[i + 1];
        if (args[i] == "--paper")
            paperPath = args[i + 1];
    }
    if (tcp) {
        const std::string line = process.ReadLine();
        const size_t colon = line.rfind(':');
        if (line.rfind("listening on ", 0) == 0 && colon != std::string::npos) {
            tcpAddress = line.substr(13, colon - 13);
            tcpPort = std::atoi(line.c_str() + colon + 1);
        }
    }
    if (pty) {
        const std::string line = process.ReadLine();
        if (line.rfind("pty ", 0) == 0)
            ptyPath = line.substr(4);
    }
}

} // namespace kalo::test
