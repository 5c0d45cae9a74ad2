#pragma once

#include "Clock.h"
#include "Failure.h"
#include "OutputBuffer.h"

#include <atomic>
#include <cstdint>
#include <functional>
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
//   104 wait 200 ended 3
//   101 rx 63
//   3105 error read 127.0.0.1:9100: the printer closed the connection
// Each line reaches the stream whole as soon as it is written, so a trace
// outlives a program that is interrupted or a port that fails midway. A
// trace that cannot be written is not lost silently: the first line the
// stream refuses ends it, and the program is told.
class WireTrace {
public:
    // Times are milliseconds on clock since the trace began. lost is called
    // once, from the thread that was writing, when a line could not be
    // written whole; nothing is written after it.
    WireTrace(std::ostream& out, Clock& clock, std::function<void()> lost = {});

    // port: the port and its settings as the header shows them.
    void Connection(const std::string& port);
    void Sent(const uint8_t* data, size_t length);
    void Received(const uint8_t* data, size_t length);
    void Wait(uint32_t ms);
    // A wait the reply pace ended once the reply was whole: its planned and
    // its real length, written when it ends ("wait 200 ended 3").
    void WaitEnded(uint32_t plannedMs, uint32_t tookMs);
    void Error(const Failure& failure);
    bool Lost() const { return m_lost; }

private:
    void Transfer(const char* direction, const uint8_t* data, size_t length);
    void Line(const std::string& text);
    void Write(const std::string& line);

    std::ostream& m_out;
    Clock& m_clock;
    const int64_t m_start;
    const std::function<void()> m_onLost;
    std::atomic<bool> m_lost{false};
    std::mutex m_lock; // a line is written whole whichever thread writes it
};

// The regular file at path, made or emptied, written in place a line at a
// time. Opening never waits: a FIFO, a device or a socket is refused at
// once. Null with the reason when it cannot be opened.
std::unique_ptr<OutputBuffer> OpenTraceFile(const std::string& path, std::string& error);

} // namespace kalo::platform
