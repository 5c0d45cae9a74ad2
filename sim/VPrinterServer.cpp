#include "VPrinterServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <utility>

namespace kalo::sim {

namespace {
constexpr int64_t kNoisePeriodMicros = 1000;
constexpr size_t kReadChunk = 4096;

uint32_t BaudRate(speed_t code)
{
    static const std::pair<speed_t, uint32_t> kRates[] = {
        {B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
        {B200, 200},       {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
        {B2400, 2400},     {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
        {B57600, 57600},   {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
    };
    for (const auto& [rateCode, rate] : kRates) {
        if (rateCode == code)
            return rate;
    }
    return 0;
}
} // namespace

VPrinterServer::VPrinterServer(Config config, VirtualPrinter& printer, WireLog& wireLog)
    : m_config(std::move(config))
    , m_printer(printer)
    , m_timing(printer.Options())
    , m_wireLog(wireLog)
{
    m_start = Now();
}

VPrinterServer::~VPrinterServer()
{
    for (int fd : {m_listenFd, m_signalFd, m_ptyWatchFd, m_ptySlaveFd, m_client.fd, m_pty.fd}) {
        if (fd >= 0)
            close(fd);
    }
}

int64_t VPrinterServer::Now() const
{
    return NowNanos() / 1000;
}

int64_t VPrinterServer::NowNanos() const
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

bool VPrinterServer::Start(std::ostream& out, std::ostream& err)
{
    m_err = &err;
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    m_signalFd = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);

    if (m_config.tcp) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(m_config.tcpPort);
        if (inet_pton(AF_INET, m_config.tcpAddress.c_str(), &address.sin_addr) != 1) {
            err << "kalo-vprinter: not an IPv4 address: " << m_config.tcpAddress << '\n';
            return false;
        }
        m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        const int one = 1;
        setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        socklen_t size = sizeof address;
        if (bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || listen(m_listenFd, 4) != 0
            || getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            err << "kalo-vprinter: cannot listen on " << m_config.tcpAddress << ':' << m_config.tcpPort << ": "
                << std::strerror(errno) << '\n';
            return false;
        }
        out << "listening on " << m_config.tcpAddress << ':' << ntohs(address.sin_port) << '\n';
    }
    if (m_config.pty) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            err << "kalo-vprinter: cannot create a pseudo-terminal: " << std::strerror(errno) << '\n';
            if (master >= 0)
                close(master);
            return false;
        }
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        const std::string path = ptsname(master);
        m_ptySlaveFd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        // Raw from the start, so nothing is echoed back before the program sets the line.
        termios t{};
        if (m_ptySlaveFd >= 0 && tcgetattr(m_ptySlaveFd, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(m_ptySlaveFd, TCSANOW, &t);
        }
        m_ptyPath = path;
        m_ptyWatchFd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (m_ptyWatchFd >= 0 && inotify_add_watch(m_ptyWatchFd, path.c_str(), IN_OPEN | IN_CLOSE) < 0) {
            close(m_ptyWatchFd);
            m_ptyWatchFd = -1;
        }
        m_pty.fd = master;
        m_pty.isPty = true;
        if (m_config.lineRate) {
            m_pty.line.emplace(m_config.paced);
            ReadLineSettings(m_pty);
        }
        if (m_printer.Options().noise)
            m_pty.noiseNext = Now();
        out << "pty " << path << '\n';
    }
    out.flush();
    return true;
}

void VPrinterServer::Accept()
{
    sockaddr_in peer{};
    socklen_t peerSize = sizeof peer;
    const int fd = accept4(m_listenFd, reinterpret_cast<sockaddr*>(&peer), &peerSize, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return;
    if (m_client.fd >= 0) {
        // Only an idle client is asked to give way, and only once the next is really there.
        *m_err << "kalo-vprinter: dropped the idle TCP client (nothing either way for "
               << (Now() - m_client.lastByte) / 1000 << " ms): another client is waiting" << std::endl;
        Hangup(m_client);
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_client = Link{};
    m_client.fd = fd;
    m_client.lastByte = Now();
    char address[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
    m_client.name = "tcp " + std::string(address) + ":" + std::to_string(ntohs(peer.sin_port));
    m_wireLog.Link((m_client.lastByte - m_start) / 1000, true, m_client.name);
    if (m_printer.Options().noise)
        m_client.noiseNext = Now();
}

void VPrinterServer::Hangup(Link& link)
{
    m_printer.EndOfStream();
    if (link.isPty) {
        // The line itself goes, as when a printer is switched off behind a
        // USB serial adapter: the program's end reads a hang-up and its writes
        // fail. The pseudo-terminal cannot come back under the same name, so
        // this printer serves no further user on it.
        if (m_ptyWatchFd >= 0)
            close(m_ptyWatchFd);
        m_ptyWatchFd = -1;
        if (m_ptyUsers > 0 || m_ptyClosePending)
            m_wireLog.Link((Now() - m_start) / 1000, false, "pty " + m_ptyPath);
        m_ptyUsers = 0;
        m_ptyClosePending = false;
        if (m_ptySlaveFd >= 0)
            close(m_ptySlaveFd);
        m_ptySlaveFd = -1;
    }
    close(link.fd);
    if (!link.name.empty())
        m_wireLog.Link((Now() - m_start) / 1000, false, link.name);
    link = Link{};
}

void VPrinterServer::WatchPtyUsers()
{
    alignas(inotify_event) char events[4096];
    for (;;) {
        const ssize_t n = read(m_ptyWatchFd, events, sizeof events);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        for (ssize_t at = 0; at < n;) {
            inotify_event event;
            std::memcpy(&event, events + at, sizeof event);
            at += ssize_t(sizeof event + event.len);
            if ((event.mask & IN_OPEN) && m_ptyUsers++ == 0) {
                LogPtyClosed(); // a user gone just before
                m_wireLog.Link((Now() - m_start) / 1000, true, "pty " + m_ptyPath);
            }
            if ((event.mask & IN_CLOSE) && m_ptyUsers > 0 && --m_ptyUsers == 0)
                m_ptyClosePending = true;
        }
    }
}

void VPrinterServer::LogPtyClosed()
{
    if (std::exchange(m_ptyClosePending, false))
        m_wireLog.Link((Now() - m_start) / 1000, false, "pty " + m_ptyPath);
}

// The master side of a pseudo-terminal reads the settings its user gave the
// slave: the speed and the stop bits hold, data bits and parity read as 8 and
// none whatever was set, hence --frame.
void VPrinterServer::ReadLineSettings(Link& link)
{
    termios t{};
    if (!link.line || tcgetattr(link.fd, &t) != 0)
        return;
    LineFrame frame;
    if (m_config.frame) {
        frame = *m_config.frame;
    } else {
        switch (t.c_cflag & CSIZE) {
        case CS5: frame.dataBits = 5; break;
        case CS6: frame.dataBits = 6; break;
        case CS7: frame.dataBits = 7; break;
        default: frame.dataBits = 8; break;
        }
        frame.parity = !(t.c_cflag & PARENB) ? 'N' : (t.c_cflag & PARODD) ? 'O' : 'E';
        frame.stopHalves = (t.c_cflag & CSTOPB) ? 4 : 2;
    }
    // The line discipline stops the user's output on XOFF when IXON is set,
    // as a UART driver stops its transmitter; without it XOFF is just a byte.
    link.line->SetLine(ByteNanos(BaudRate(cfgetospeed(&t)), frame), (t.c_iflag & IXON) != 0,
                       (t.c_iflag & (IXON | IXOFF)) != 0);
}

void VPrinterServer::Serve(Link& link)
{
    uint8_t chunk[kReadChunk];
    ReadLineSettings(link);
    for (;;) {
        // A paced line takes only what is on its way now; the rest waits in
        // the pseudo-terminal, whose writer blocks once it is full.
        const size_t want = link.line ? std::min(sizeof chunk, link.line->ReadRoom()) : sizeof chunk;
        if (want == 0)
            return;
        const ssize_t n = read(link.fd, chunk, want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || (link.isPty && errno == EIO)))
            return; // nothing more now (a pty with no user answers EIO)
        if (n == 0 && !link.isPty) {
            // Half-closed, or closed: the replies already asked for still go
            // out (Run closes the link once they have), and nothing more comes.
            m_printer.EndOfStream();
            link.inputEnded = true;
            return;
        }
        if (n <= 0) {
            Hangup(link);
            return;
        }
        if (link.line) {
            link.line->Taken(chunk, size_t(n), NowNanos(), size_t(n) == want);
            if (size_t(n) < want)
                return;
            continue;
        }
        if (!Deliver(link, chunk, size_t(n), Now()))
            return;
    }
}

bool VPrinterServer::Deliver(Link& link, const uint8_t* data, size_t length, int64_t now)
{
    size_t take = length;
    const int64_t closeAfter = m_printer.Options().closeAfter;
    if (closeAfter >= 0)
        take = size_t(std::min<int64_t>(int64_t(length), closeAfter - link.received));
    if (!link.line) // a paced line logs its bytes as they come off the line
        m_wireLog.Log((now - m_start) / 1000, true, data, take);
    m_reply.clear();
    m_replyEnds.clear();
    m_printer.Receive(data, take, m_reply, &m_replyEnds);
    link.received += int64_t(take);
    link.lastByte = now;
    // Each reply is queued with the time it is due, so a delayed one never
    // keeps the printer from reading on; none overtakes the one before.
    size_t begin = 0;
    for (const auto& [end, realTime] : m_replyEnds) {
        int64_t at = now + m_timing.NextDelayMicros(realTime);
        if (realTime) {
            // Ahead of every reply still waiting for its time, between two of its bytes if need be.
            auto where = std::find_if(link.out.begin(), link.out.end(),
                                      [at](const std::pair<int64_t, uint8_t>& byte) { return byte.first > at; });
            for (; begin < end; ++begin)
                where = link.out.emplace(where, at, m_reply[begin]) + 1;
            continue;
        }
        if (!link.out.empty())
            at = std::max(at, link.out.back().first + m_timing.GapMicros());
        for (; begin < end; ++begin) {
            link.out.emplace_back(at, m_reply[begin]);
            at += m_timing.GapMicros();
        }
    }
    if (!m_reply.empty() && DropIfFlooded(link))
        return false;
    if (closeAfter >= 0 && link.received >= closeAfter) {
        Flush(link, now);
        Hangup(link);
        return false;
    }
    return true;
}

void VPrinterServer::Pace(Link& link, int64_t nowNanos)
{
    if (!link.line || link.fd < 0)
        return;
    ReadLineSettings(link);
    PacedLine::Events events;
    link.line->Advance(nowNanos, events);
    const int64_t now = nowNanos / 1000;
    m_wireLog.Log((now - m_start) / 1000, true, events.arrived.data(), events.arrived.size());
    if (!events.consumed.empty() && !Deliver(link, events.consumed.data(), events.consumed.size(), now))
        return;
    if (events.overrun > 0)
        m_printer.ReportOverrun(events.overrun);
    // Flow control goes ahead of any reply waiting, as a UART sends it.
    for (auto byte = events.control.rbegin(); byte != events.control.rend(); ++byte)
        link.out.emplace_front(now, *byte);
}

void VPrinterServer::Flush(Link& link, int64_t now)
{
    if (link.fd < 0)
        return;
    uint8_t chunk[256];
    size_t n = 0;
    // Noise goes out at a steady pace; a full line just drops it.
    if (link.noiseNext >= 0) {
        while (link.noiseNext <= now && n < sizeof chunk) {
            chunk[n++] = VirtualPrinter::kNoiseByte;
            link.noiseNext += kNoisePeriodMicros;
        }
        if (link.noiseNext <= now)
            link.noiseNext = now + kNoisePeriodMicros;
        if (n > 0) {
            const ssize_t w = write(link.fd, chunk, n);
            if (w > 0)
                m_wireLog.Log((now - m_start) / 1000, false, chunk, size_t(w));
        }
    }
    link.blocked = false;
    // A paced line hands the reader each byte once it has fully crossed the line.
    const int64_t nowNanos = link.line ? NowNanos() : 0;
    while (!link.out.empty()) {
        n = 0;
        while (n < sizeof chunk && !link.out.empty()) {
            const int64_t due = link.out.front().first;
            if (link.line) {
                const int64_t done = link.line->SendDone(due * 1000);
                if (done > nowNanos)
                    break;
                link.line->Sent(done);
            } else if (due > now) {
                break;
            }
            chunk[n++] = link.out.front().second;
            link.out.pop_front();
        }
        if (n == 0)
            break;
        const ssize_t w = write(link.fd, chunk, n);
        if (w < 0) {
            // The reader is gone or full; what did not go out is put back.
            for (size_t i = n; i-- > 0;)
                link.out.emplace_front(now, chunk[i]);
            link.blocked = true;
            return;
        }
        m_wireLog.Log((now - m_start) / 1000, false, chunk, size_t(w));
        if (w > 0)
            link.lastByte = now;
        for (size_t i = n; i-- > size_t(w);)
            link.out.emplace_front(now, chunk[i]);
        if (size_t(w) < n) {
            link.blocked = true;
            return;
        }
    }
}

bool VPrinterServer::DropIfFlooded(Link& link)
{
    if (link.out.size() <= kMaxQueued)
        return false;
    if (!link.isPty) {
        *m_err << "kalo-vprinter: dropped the TCP client: it did not read its last " << link.out.size()
               << " reply bytes" << std::endl;
        Hangup(link);
        return true;
    }
    // The pseudo-terminal cannot come back once hung up, so only what waits goes.
    *m_err << "kalo-vprinter: discarded " << link.out.size()
           << " reply bytes the pseudo-terminal's user did not read" << std::endl;
    link.out.clear();
    link.blocked = false;
    return false;
}

int64_t VPrinterServer::NextDue(const Link& link) const
{
    if (link.fd < 0)
        return -1;
    int64_t due = -1;
    const auto earliest = [&due](int64_t at) {
        if (at >= 0 && (due < 0 || at < due))
            due = at;
    };
    // A full line is waited on through POLLOUT; its due bytes are no reason to wake.
    if (!link.out.empty() && !link.blocked)
        earliest(link.line ? link.line->SendDone(link.out.front().first * 1000) : link.out.front().first * 1000);
    if (link.noiseNext >= 0)
        earliest(link.noiseNext * 1000);
    if (link.line)
        earliest(link.line->NextDue());
    return due;
}

bool VPrinterServer::Idle(const Link& link, int64_t now) const
{
    return (link.out.empty() || link.blocked) && now - link.lastByte >= m_config.idleMs * 1000;
}

int VPrinterServer::Run()
{
    for (;;) {
        const int64_t nowNanos = NowNanos();
        const int64_t now = nowNanos / 1000;
        Pace(m_pty, nowNanos);
        Flush(m_client, now);
        Flush(m_pty, now);
        if (m_client.inputEnded && m_client.out.empty())
            Hangup(m_client);
        // The listener is watched while a client is connected only once that
        // client is idle, so a waiting client cannot keep poll from sleeping;
        // until then poll wakes when it would become idle.
        const bool clientMayGiveWay = m_client.fd >= 0 && !m_config.oneClient;
        const bool clientIdle = clientMayGiveWay && Idle(m_client, now);

        pollfd fds[5];
        nfds_t count = 0;
        fds[count++] = {m_signalFd, POLLIN, 0};
        const nfds_t listenAt = count;
        if (m_listenFd >= 0 && (m_client.fd < 0 || clientIdle))
            fds[count++] = {m_listenFd, POLLIN, 0};
        const nfds_t clientAt = count;
        if (m_client.fd >= 0)
            fds[count++] = {m_client.fd,
                            short((m_client.inputEnded ? 0 : POLLIN) | (m_client.blocked ? POLLOUT : 0)), 0};
        const nfds_t watchAt = count;
        if (m_ptyWatchFd >= 0)
            fds[count++] = {m_ptyWatchFd, POLLIN, 0};
        const nfds_t ptyAt = count;
        if (m_pty.fd >= 0)
            fds[count++] = {m_pty.fd,
                            short((!m_pty.line || m_pty.line->ReadRoom() > 0 ? POLLIN : 0) | (m_pty.blocked ? POLLOUT : 0)),
                            0};

        // Woken at the due time itself, not at the next millisecond: a paced
        // line's bytes are due every few hundred microseconds.
        int64_t wait = -1;
        for (const Link* link : {&m_client, &m_pty}) {
            const int64_t due = NextDue(*link);
            if (due >= 0)
                wait = std::max<int64_t>(0, wait < 0 ? due - nowNanos : std::min(wait, due - nowNanos));
        }
        if (clientMayGiveWay && !clientIdle && (m_client.out.empty() || m_client.blocked)) {
            const int64_t untilIdle = (m_client.lastByte + m_config.idleMs * 1000 - now) * 1000;
            wait = wait < 0 ? untilIdle : std::min(wait, untilIdle);
        }
        const timespec timeout{time_t(wait / 1'000'000'000), long(wait % 1'000'000'000)};
        const int ready = ppoll(fds, count, wait < 0 ? nullptr : &timeout, nullptr);
        if (ready < 0 && errno != EINTR)
            return 1;
        if (ready <= 0)
            continue;
        if (fds[0].revents & POLLIN)
            return 0;
        // The client first: what it just sent makes it no longer idle.
        if (clientAt < count && fds[clientAt].fd == m_client.fd) {
            const short events = fds[clientAt].revents;
            if (m_client.inputEnded && (events & (POLLHUP | POLLERR)))
                Hangup(m_client); // gone altogether: what it was owed has nowhere to go
            else if (!m_client.inputEnded && (events & (POLLIN | POLLHUP | POLLERR)))
                Serve(m_client);
        }
        if (listenAt < count && fds[listenAt].fd == m_listenFd && (fds[listenAt].revents & POLLIN)
            && (m_client.fd < 0 || (!m_config.oneClient && Idle(m_client, Now()))))
            Accept();
        // An open is logged before the bytes that follow it, a close after those before it.
        if (watchAt < count && fds[watchAt].fd == m_ptyWatchFd && (fds[watchAt].revents & POLLIN))
            WatchPtyUsers();
        if (ptyAt < count && fds[ptyAt].fd == m_pty.fd && (fds[ptyAt].revents & POLLIN))
            Serve(m_pty);
        LogPtyClosed();
    }
}

} // namespace kalo::sim
