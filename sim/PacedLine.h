#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kalo::sim {

// What one byte takes on the line besides its start bit.
struct LineFrame {
    int dataBits = 8;
    char parity = 'N'; // N, E, O, M or S
    int stopHalves = 2; // stop bits in halves: 2, 3 (one and a half) or 4
};

// "7E1", "8N1.5", "8N2": data bits 5-8, parity N/E/O/M/S, stop bits 1, 1.5 or 2.
std::optional<LineFrame> ParseFrame(const std::string& text);

// Nanoseconds one byte takes on the line: start bit, data, parity, stop bits.
int64_t ByteNanos(uint32_t baudRate, const LineFrame& frame);

// A serial line into a printer, at its speed, with the printer's input
// buffer behind it. The sender's bytes are taken a few milliseconds ahead
// and arrive one frame after another; the printer consumes its buffer at its
// own rate, asks the sender to stop (XOFF) when the buffer is three quarters
// full and to go on (XON) once it has drained to a quarter. What arrives when
// the buffer is full is lost, and counted. It reads no clock: times are
// passed in (nanoseconds on one monotonic clock), so it runs as well on a
// virtual one.
class PacedLine {
public:
    struct Settings {
        size_t bufferSize = 4096;
        uint64_t processRate = 0; // bytes per second; 0 takes them as they arrive
        bool xonXoff = false;     // send XOFF/XON even when the sender's line does not ask for them
    };

    static constexpr uint8_t kXon = 0x11;
    static constexpr uint8_t kXoff = 0x13;
    // How far ahead of their arrival the sender's bytes are taken: the line
    // wakes its printer about this often while bytes stream in.
    static constexpr int64_t kAheadNanos = 5'000'000;

    explicit PacedLine(Settings settings);

    // The line as the sender set it now: the time of a byte, whether the
    // sender stops on XOFF, and whether it asked for XON/XOFF at all.
    void SetLine(int64_t byteNanos, bool senderHonoursXoff, bool senderUsesXonXoff);

    // How many of the sender's bytes may be taken now (0: none until the next due time).
    size_t ReadRoom() const;
    // Bytes taken from the sender at now; senderHadMore when it may have had
    // more waiting, so the next ones follow on the line without a gap.
    void Taken(const uint8_t* data, size_t length, int64_t now, bool senderHadMore);

    struct Events {
        std::vector<uint8_t> arrived;  // off the line since the last call, lost ones too
        std::vector<uint8_t> consumed; // taken out of the buffer by the printer
        std::vector<uint8_t> control;  // XOFF/XON to send, in order
        uint64_t overrun = 0;          // bytes lost in an overrun that has now ended
    };
    // Moves everything due by now along.
    void Advance(int64_t now, Events& events);
    // When Advance next has something to do, or -1 when only the sender can start it.
    int64_t NextDue() const;

    // The printer's own transmitter: when a byte that may go at due has fully
    // gone, and the byte then sent.
    int64_t SendDone(int64_t due) const { return std::max(due, m_sendFree) + m_byteNanos; }
    void Sent(int64_t done) { m_sendFree = done; }

    size_t Buffered() const { return m_buffer.size(); }
    uint64_t Lost() const { return m_lostTotal; }

private:
    void ConsumeUntil(int64_t time, Events& events);
    bool FlowOn() const { return m_settings.xonXoff || m_senderUsesXonXoff; }

    Settings m_settings;
    int64_t m_byteNanos = 0;
    bool m_senderHonoursXoff = false;
    bool m_senderUsesXonXoff = false;

    std::deque<std::pair<int64_t, uint8_t>> m_inTransit; // with the time each arrives
    int64_t m_lastArrival = 0;
    bool m_senderBusy = false;

    std::deque<uint8_t> m_buffer;
    int64_t m_processClock = 0; // when the printer finished the last byte it took

    bool m_stopped = false; // XOFF sent, XON not yet
    uint64_t m_lostTotal = 0;
    uint64_t m_lostUnreported = 0;

    int64_t m_sendFree = 0;
};

} // namespace kalo::sim
