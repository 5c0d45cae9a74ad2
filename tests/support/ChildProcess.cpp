#include "ChildProcess.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <poll.h>
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

ChildProcess::ChildProcess(const std::string& program, std::vector<std::string> args,
                           const std::vector<std::string>& env, bool errToo)
{
    int out[2], err[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0 || (errToo && pipe2(err, O_CLOEXEC) != 0))
        return;
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
    m_pid = fork();
    if (m_pid == 0) {
        // The child must not inherit blocked termination signals from a test.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        dup2(out[1], 1);
        if (errToo)
            dup2(err[1], 2);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    for (const int end : {out[1], err[1]}) {
        if (end >= 0)
            close(end);
    }
    m_out = out[0];
    m_err = err[0];
}

ChildProcess::~ChildProcess()
{
    for (const int signal : {SIGTERM, SIGKILL}) {
        Signal(signal);
        Wait(5000);
    }
    for (const int end : {m_out, m_err}) {
        if (end >= 0)
            close(end);
    }
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

void ChildProcess::Signal(int signal)
{
    if (m_pid > 0)
        kill(m_pid, signal);
}

int ChildProcess::Wait(int timeoutMs)
{
    const auto deadline = After(timeoutMs);
    for (int status = 0; m_pid > 0; usleep(500)) {
        const int r = waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid) {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        }
        if (r < 0 || MsLeft(deadline) == 0)
            break;
    }
    return kStillRunning;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, int timeoutMs)
{
    RunResult result;
    ChildProcess child(program, args, env, true);
    const auto deadline = After(timeoutMs);
    while (ReadSome(child.m_out, deadline, result.out)) {
    }
    for (const auto errDeadline = After(1000); ReadSome(child.m_err, errDeadline, result.err);) {
    }
    // One that does not end in time is killed as the child goes.
    const int code = child.Wait(std::max(1000, MsLeft(deadline)));
    result.status = code == ChildProcess::kStillRunning ? -1 : code < 0 ? 128 - code : code;
    return result;
}

int OpenDescriptorCount()
{
    const std::filesystem::directory_iterator entries("/proc/self/fd");
    return int(std::distance(begin(entries), end(entries)));
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
