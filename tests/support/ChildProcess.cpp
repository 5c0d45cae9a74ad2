#include "ChildProcess.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kalo::test {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point After(int ms)
{
    return Clock::now() + std::chrono::milliseconds(ms);
}

int MsLeft(Clock::time_point deadline)
{
    return int(std::max<int64_t>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
}

int Spawn(const std::string& program, std::vector<std::string> args, const std::vector<std::string>& env,
          int outFd, int errFd)
{
    args.insert(args.begin(), program);
    std::vector<std::string> all;
    for (char** e = environ; *e; ++e)
        all.emplace_back(*e);
    all.insert(all.end(), env.begin(), env.end());
    std::vector<char*> argv, envp;
    for (auto [strings, pointers] : {std::pair{&args, &argv}, std::pair{&all, &envp}}) {
        for (std::string& text : *strings)
            pointers->push_back(text.data());
        pointers->push_back(nullptr);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        // The child must not inherit blocked termination signals from a test.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        dup2(outFd, 1);
        if (errFd >= 0)
            dup2(errFd, 2);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

// The raw wait status once pid ends, or -1 when it did not end in time.
int WaitPid(int pid, int timeoutMs)
{
    const auto deadline = After(timeoutMs);
    for (int status = 0;; usleep(500)) {
        const int r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return status;
        if (r < 0 || MsLeft(deadline) == 0)
            return -1;
    }
}

// Appends what arrives on fd until the deadline or its end; false when nothing more came.
bool ReadSome(int fd, Clock::time_point deadline, std::string& text)
{
    pollfd p{fd, POLLIN, 0};
    char chunk[4096];
    if (fd < 0 || poll(&p, 1, MsLeft(deadline)) <= 0)
        return false;
    const ssize_t n = read(fd, chunk, sizeof chunk);
    text.append(chunk, size_t(std::max<ssize_t>(n, 0)));
    return n > 0;
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
    const auto deadline = After(timeoutMs);
    size_t newline;
    while ((newline = m_pending.find('\n')) == std::string::npos) {
        if (!ReadSome(m_out, deadline, m_pending))
            return "";
    }
    std::string line = m_pending.substr(0, newline);
    m_pending.erase(0, newline + 1);
    return line;
}

int ChildProcess::Stop()
{
    for (const int signal : {SIGTERM, SIGKILL}) {
        Signal(signal);
        if (const int code = Wait(5000); code != kStillRunning)
            m_status = code < 0 ? 128 - code : code;
    }
    return m_status;
}

void ChildProcess::Signal(int signal)
{
    if (m_pid > 0)
        kill(m_pid, signal);
}

int ChildProcess::Wait(int timeoutMs)
{
    const int status = m_pid > 0 ? WaitPid(m_pid, timeoutMs) : -1;
    if (status < 0)
        return kStillRunning;
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
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
    const auto deadline = After(timeoutMs);
    while (ReadSome(out[0], deadline, result.out)) {
    }
    for (const auto errDeadline = After(1000); ReadSome(err[0], errDeadline, result.err);) {
    }
    close(out[0]);
    close(err[0]);
    if (pid <= 0)
        return result;
    if (const int status = WaitPid(pid, std::max(1000, MsLeft(deadline))); status >= 0) {
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    } else {
        kill(pid, SIGKILL);
        WaitPid(pid, 5000);
    }
    return result;
}

int OpenDescriptorCount()
{
    const std::filesystem::directory_iterator entries("/proc/self/fd");
    return int(std::distance(begin(entries), end(entries)));
}

uint16_t ClosedLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

PtyPair::PtyPair() : master(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC))
{
    grantpt(master);
    unlockpt(master);
    path = ptsname(master);
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
    const auto given = [&args](const char* flag) { return std::find(args.begin(), args.end(), flag) != args.end(); };
    if (const std::string line = given("--tcp") ? process.ReadLine() : ""; line.rfind("listening on ", 0) == 0) {
        const size_t colon = line.rfind(':');
        tcpAddress = line.substr(13, colon - 13);
        tcpPort = std::atoi(line.c_str() + colon + 1);
    }
    if (const std::string line = given("--pty") ? process.ReadLine() : ""; line.rfind("pty ", 0) == 0)
        ptyPath = line.substr(4);
}

} // namespace kalo::test
