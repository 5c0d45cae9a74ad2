#pragma once

#include "ReplyTiming.h"
#include "VirtualPrinter.h"
#include "WireLog.h"
#include "VirtualClock.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kalo::sim {

// The wire between the program and the virtual printer, on a virtual clock.
// Bytes written reach the printer after their time on the wire; its replies
// arrive after a short turn-around (plus the slow and late faults' delays,
// each reply its own, counted from its query) and, on a serial line, one
// character time apart. Reads let the clock run to the next
// arrival or to their time-out, so a test sees the real timeline at once.
class InProcessLink {
public:
    struct Chunk {
        int64_t micros; // when the write began
        std::vector<uint8_t> bytes;
    };

    static constexpr int64_t kTurnaroundMicros = 500;

    // Answers the program's bytes in the printer's place; the printer then
    // hears nothing. A printer that may say anything at all.
    using Responder = std::function<void(const uint8_t* data, size_t length, std::vector<uint8_t>& reply)>;

    // The timing counts the printer's replies, so links opened one after
    // another share the printer's. With a name, the log tells when the link
    // opened and closed.
    InProcessLink(VirtualPrinter& printer, ReplyTiming& timing, VirtualClock& clock, WireLog* log,
                  std::string name = {});

    // Character time on the wire; 0 for a network link.
    void SetByteMicros(int64_t micros) { m_byteMicros = micros; }
    void SetResponder(Responder responder) { m_responder = std::move(responder); }

    // Takes the program's bytes; returns how many were taken (fewer once the
    // printer hung up).
    size_t Write(const uint8_t* data, size_t length);
    // Waits up to timeout for a byte; true when one is there.
    bool WaitReadable(int64_t timeoutMicros);
    // Takes the bytes that have arrived by now, at most length.
    size_t ReadArrived(uint8_t* buffer, size_t length);
    // Lets the clock run until everything written has left; returns what is
    // still on its way when the time-out is reached.
    size_t WaitDrained(int64_t timeoutMicros);
    void DropOutput();

    bool HungUp() const { return m_hungUp; }
    void Disconnect(); // the program closed its end
    void DiscardInput() { m_arrivals.clear(); }

    // Every write the program made, in order.
    const std::vector<Chunk>& Written() const { return m_written; }

private:
    struct Arrival {
        int64_t micros;
        uint8_t byte;
    };
    int64_t NextArrival(); // -1 when nothing will arrive
    int64_t NoisePeriod() const { return m_byteMicros > 0 ? m_byteMicros : 1000; }

    VirtualPrinter& m_printer;
    ReplyTiming& m_timing;
    VirtualClock& m_clock;
    WireLog* m_log;
    int64_t m_byteMicros = 0;
    int64_t m_txFreeAt = 0;
    int64_t m_noiseNext = -1;
    int64_t m_receivedCount = 0;
    bool m_hungUp = false;
    std::deque<Arrival> m_arrivals;
    std::vector<Chunk> m_written;
    std::vector<uint8_t> m_reply;
    std::vector<VirtualPrinter::ReplyEnd> m_replyEnds;
    std::string m_name;
    bool m_closed = false;
    Responder m_responder;
};

} // namespace kalo::sim
