#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kalo::platform {

enum class ChildStream { Output, Error };

enum class ChildEnd {
    Exited,     // code is the exit status
    Signalled,  // code is the signal's number
    NotStarted, // the program could not be started; text says why
    // (Signalled: text is the signal's name)
};

// How a child ended, and the most memory it held (resident, in KiB), as
// the child itself reported it through ReportPeakAtExit; 0 when it did not.
struct ChildExit {
    ChildEnd end = ChildEnd::Exited;
    int code = 0;
    int64_t peakKiB = 0;
    std::string text;
};

enum class StopKind { Terminate, Kill };

// What a wait reports, one call per piece of output or end.
class ChildListener {
public:
    virtual ~ChildListener() = default;
    virtual void Output(int child, ChildStream stream, std::string_view bytes) = 0;
    // After the child's last output; the handle is free from then on.
    virtual void Ended(int child, const ChildExit& exit) = 0;
};

// Programs run beside this one, their standard output and error read
// through pipes, all of them watched by one wait. Each child starts in a
// process group of its own, so a Ctrl+C on the terminal reaches only this
// program, which decides what the children get. Standard input is empty.
class ChildProcesses {
public:
    virtual ~ChildProcesses() = default;
    // Starts program with args (args[0] is the program's name); a handle
    // for the other calls. A program named without '/' is looked for on
    // PATH. environment: "NAME=value" entries added to what this program
    // has, each in place of one of the same name. A program that cannot be
    // started still gets a handle and ends at the next wait, NotStarted,
    // its text naming it ("notify-me: No such file or directory").
    virtual int Start(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& environment = {}) = 0;
    // Waits up to timeoutMicros for output or an end and reports each; also
    // returns early when an interruption comes (see Interruption.h).
    virtual void Wait(int64_t timeoutMicros, ChildListener& listener) = 0;
    // The one call another thread may make while a wait runs: a stopped
    // child's end then ends the wait. A child already ended is left alone.
    virtual void Stop(int child, StopKind kind) = 0;
    virtual size_t Running() const = 0;
};

std::unique_ptr<ChildProcesses> NewChildProcesses();

// The path of this program's own executable, to start it again.
std::string OwnProgram();

// The most memory this process has held so far (resident, in KiB), since
// it started its program: what it held before, as a copy of its parent,
// is not counted.
int64_t OwnPeakKiB();

// In a program started by ChildProcesses: tells the parent OwnPeakKiB as
// the program ends (by returning from main or by exit). A parent cannot
// learn it otherwise, as a spawned child's resource usage starts from the
// parent's own peak. Does nothing in a program started any other way.
void ReportPeakAtExit();

} // namespace kalo::platform
