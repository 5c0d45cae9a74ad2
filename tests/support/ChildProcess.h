#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalo::test {

// The result of running a program to its end.
struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env = {}, int timeoutMs = 30000);

// A program run for an end-to-end test. Its standard output is a pipe read
// line by line (standard error one of its own when errToo, else the test's);
// it is stopped with SIGTERM when the object goes.
class ChildProcess {
public:
    ChildProcess(const std::string& program, std::vector<std::string> args, const std::vector<std::string>& env = {},
                 bool errToo = false);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of standard output, or "" when none came within the time.
    std::string ReadLine(int timeoutMs = 5000);
    void Signal(int signal);
    // Waits up to timeoutMs: the exit status when the program exited, minus
    // the signal's number when a signal ended it, or kStillRunning.
    int Wait(int timeoutMs);
    static constexpr int kStillRunning = -1000;

private:
    friend RunResult RunProgram(const std::string&, const std::vector<std::string>&, const std::vector<std::string>&,
                                int);

    int m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    std::string m_pending;
};

// Descriptors this process holds open now.
int OpenDescriptorCount();

// A pseudo-terminal pair; the test plays the printer on the master side.
// The slave is root's alone, as a serial device of another user is.
struct PtyPair {
    PtyPair();
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;
    void CloseMaster(); // the printer hangs up
    int master = -1;
    std::string path;
};

// A kalo-vprinter for one test, with the links it announced.
struct VirtualPrinterProcess {
    explicit VirtualPrinterProcess(std::vector<std::string> args);
    ChildProcess process;
    std::string tcpAddress;
    int tcpPort = 0;
    std::string ptyPath;
};

} // namespace kalo::test
