#pragma once

#include "Terminal.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

namespace kalo::platform {

// A stream's buffer whose every write to the system is checked: the first
// that fails (a full disk, the file size limit, a reader gone) is kept with
// its reason and nothing is written after it, so a program can tell output
// that was lost from output that went out. A stream over it goes bad then.
class OutputBuffer : public std::streambuf {
public:
    // Empty while everything so far went out whole; else why it stopped, in
    // the system's words ("No space left on device").
    virtual const std::string& Failure() const = 0;
    // The reader closed its end (a pipe into `head`): output nobody wants
    // any more, not a fault to report.
    virtual bool ReaderGone() const = 0;
};

// How long a write of a trace waits for room before the trace is lost; so
// does standard error, which `--trace -` writes to.
constexpr uint32_t kTracePatienceMs = 5000;

// Standard output or standard error, left open at the end. A write waits
// while the reader makes no room: as long as it takes when patienceMs is 0,
// else at most patienceMs at a time; either way not once the program is
// interrupted (see Interruption.h) while it waits.
std::unique_ptr<OutputBuffer> StandardOutputBuffer(StandardStream stream, uint32_t patienceMs);

// Puts a checked buffer under the program's std::cout or std::cerr for as
// long as it lives, so every write of the program to it is checked.
class CheckedStandardStream {
public:
    CheckedStandardStream(std::ostream& stream, StandardStream which, uint32_t patienceMs)
        : m_stream(stream)
        , m_buffer(StandardOutputBuffer(which, patienceMs))
        , m_plain(stream.rdbuf(m_buffer.get()))
    {
    }
    ~CheckedStandardStream()
    {
        m_stream.flush();
        m_stream.rdbuf(m_plain);
    }
    CheckedStandardStream(const CheckedStandardStream&) = delete;
    CheckedStandardStream& operator=(const CheckedStandardStream&) = delete;
    const OutputBuffer& Buffer() const { return *m_buffer; }

private:
    std::ostream& m_stream;
    std::unique_ptr<OutputBuffer> m_buffer;
    std::streambuf* m_plain;
};

} // namespace kalo::platform
