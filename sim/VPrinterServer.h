#pragma once

#include "PacedLine.h"
#include "ReplyTiming.h"
#include "VirtualPrinter.h"
#include "WireLog.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <ostream>
#include <string>

namespace kalo::sim {

// Serves one virtual printer on real links: a TCP listener (one connection
// after another) and/or a pseudo-terminal. Single-threaded around poll; it
// runs until SIGINT or SIGTERM.
//
// A TCP client that half-closes still gets the replies to what it sent, then
// the connection closes. By default a client that has gone idle gives way to
// one waiting to connect, so nobody waits on a stuck peer, while a client
// with nobody waiting behind it is kept however long it idles. With oneClient
// the next client waits until the current one closes, as on a printer that
// takes one connection at a time.
class VPrinterServer {
public:
    static constexpr int64_t kDefaultIdleMs = 5000;

    struct Config {
        bool tcp = false;
        std::string tcpAddress = "127.0.0.1";
        uint16_t tcpPort = 9100;
        bool oneClient = false;
        // Idle: no byte either way for this long and no reply waiting for its
        // time (a reply the client does not read counts as none). Noise bytes
        // do not count. The default outlasts the longest silence within the
        // program's exchanges (4.3 s while a self test prints).
        int64_t idleMs = kDefaultIdleMs;
        bool pty = false;
        // The pseudo-terminal runs at the speed its user set: bytes both ways
        // take their time on the line, into an input buffer of its own.
        bool lineRate = false;
        std::optional<LineFrame> frame; // the pseudo-terminal keeps no data bits or parity
        PacedLine::Settings paced;
    };

    VPrinterServer(Config config, VirtualPrinter& printer, WireLog& wireLog);
    ~VPrinterServer();
    VPrinterServer(const VPrinterServer&) = delete;
    VPrinterServer& operator=(const VPrinterServer&) = delete;

    // Opens the links and announces them on out ("listening on ADDRESS:PORT",
    // "pty PATH"). False with a reason on err when a link cannot be opened;
    // err also hears of clients dropped while serving.
    bool Start(std::ostream& out, std::ostream& err);
    // Serves until a termination signal; returns the exit status.
    int Run();

private:
    struct Link {
        int fd = -1;
        bool isPty = false;
        bool inputEnded = false; // half-closed: what is owed still goes, then the link closes
        int64_t lastByte = 0;    // µs, the last byte either way (noise aside)
        int64_t received = 0;
        int64_t noiseNext = -1;
        std::deque<std::pair<int64_t, uint8_t>> out; // bytes with the time they are due
        bool blocked = false; // the last write found the line full: wait for POLLOUT, not the clock
        std::optional<PacedLine> line; // with --line-rate
        std::string name; // in the wire log: "tcp ADDRESS:PORT" (the client's), "pty"
    };

    // Replies queued for a reader that does not read; past it the link is dropped,
    // so such a client cannot grow the printer without end.
    static constexpr size_t kMaxQueued = 64 * 1024;

    // Takes the next TCP client, dropping the current one, which must be idle.
    void Accept();
    void Serve(Link& link);
    // Hands received bytes to the printer; false when the link hung up.
    bool Deliver(Link& link, const uint8_t* data, size_t length, int64_t now);
    void ReadLineSettings(Link& link);
    void Pace(Link& link, int64_t now);
    void Hangup(Link& link);
    // Follows the opens and closes of the pseudo-terminal's user end, so the
    // wire log tells when a program held it; a close is only noted (and
    // logged by LogPtyClosed), so bytes the user wrote before it come first.
    void WatchPtyUsers();
    void LogPtyClosed();
    void Flush(Link& link, int64_t now);
    bool DropIfFlooded(Link& link);
    int64_t NextDue(const Link& link) const;
    bool Idle(const Link& link, int64_t now) const;
    int64_t Now() const;
    int64_t NowNanos() const;

    Config m_config;
    VirtualPrinter& m_printer;
    ReplyTiming m_timing;
    WireLog& m_wireLog;
    std::ostream* m_err = nullptr; // Start's, for what happens while serving
    int64_t m_start = 0;
    int m_listenFd = -1;
    int m_signalFd = -1;
    int m_ptySlaveFd = -1; // held so the master never sees a hang-up between users
    int m_ptyWatchFd = -1; // inotify on the user end; this program's own open is not counted
    std::string m_ptyPath;
    int m_ptyUsers = 0;
    bool m_ptyClosePending = false;
    Link m_client;
    Link m_pty;
    std::vector<uint8_t> m_reply;
    std::vector<VirtualPrinter::ReplyEnd> m_replyEnds;
};

} // namespace kalo::sim
