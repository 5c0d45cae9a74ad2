#include "ChildProcess.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <netinet/in.h>
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

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& text : strings)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

int Spawn(const std::string& program, std::vector<std::string> args, const std::vector<std::string>& env,
          int outFd, int errFd)
{
    args.insert(args.begin(), program);
    std::vector<std::string> all;
    for (char** e = environ; *e; ++e)
        all.emplace_back(*e);
    all.insert(all.end(), env.begin(), env.end());
    const auto argv = Pointers(args), envp = Pointers(all);
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

int WaitPid(int pid, int timeoutMs)
{
    const auto deadline = After(timeoutMs);
    for (int status = 0;; usleep(2000)) {
        const int r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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
    if (n > 0)
        text.append(chunk, size_t(n));
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
        if (m_pid <= 0)
            break;
        kill(m_pid, signal);
        if ((m_status = WaitPid(m_pid, 5000)) >= 0)
            m_pid = -1;
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
    if (m_pid <= 0)
        return kStillRunning;
    const auto deadline = After(timeoutMs);
    for (int status = 0;; usleep(500)) {
        const int r = waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid) {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        }
        if (r < 0 || MsLeft(deadline) == 0)
            return kStillRunning;
    }
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
    if (pid > 0 && (result.status = WaitPid(pid, std::max(1000, MsLeft(deadline)))) < 0) {
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
    if (given("--tcp")) {
        const std::string line = process.ReadLine();
        const size_t colon = line.rfind(':');
        if (line.rfind("listening on ", 0) == 0 && colon != std::string::npos) {
            tcpAddress = line.substr(13, colon - 13);
            tcpPort = std::atoi(line.c_str() + colon + 1);
        }
    }
    if (const std::string line = given("--pty") ? process.ReadLine() : ""; line.rfind("pty ", 0) == 0)
        ptyPath = line.substr(4);
}

} // namespace kalo::test
