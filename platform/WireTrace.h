#pragma once

#include "Clock.h"
#include "Failure.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>

namespace kalo::platform {

// What crossed the wire, in the virtual printer's wire-log format seen from
// the program's side: tx is what the program sent, rx what it received.
// A header line names each connection, and fixed waits and failures have a
// line of their own:
//   # kalo 0.1, COM1, 9600,n,8,1,p
//   0 tx 1b 40
//   1 wait 100
//   101 rx 63
//   3105 error read 127.0.0.1:9100: the printer closed the connection
// Each line reaches the stream whole as soon as it is written, so a trace
// outlives a program that is interrupted or a port that fails midway.
class WireTrace {
public:
    // Times are milliseconds on clock since the trace began.
    WireTrace(std::ostream& out, Clock& clock);

    // port: the port and its settings as the header shows them.
    void Connection(const std::string& port);
    void Sent(const uint8_t* data, size_t length);
    void Received(const uint8_t* data, size_t length);
    void Wait(uint32_t ms);
    void Error(const Failure& failure);

private:
    void Transfer(const char* direction, const uint8_t* data, size_t length);
    void Line(const std::string& text);

    std::ostream& m_out;
    Clock& m_clock;
    const int64_t m_start;
    std::mutex m_lock; // a line is written whole whichever thread writes it
};

// A stream writing straight into the file at path, made or emptied: a
// regular file, a FIFO or a terminal. Null with the system's reason when
// it cannot be opened.
std::unique_ptr<std::ostream> OpenTraceStream(const std::string& path, std::string& error);

} // namespace kalo::platform
