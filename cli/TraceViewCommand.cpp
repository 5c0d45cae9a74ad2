#include "TraceViewCommand.h"

#include "platform/Files.h"
#include "platform/Interruption.h"
#include "platform/Text.h"
#include "port/PrinterCommands.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <utility>

namespace kalo::cli {

namespace {

// "200" (a fixed wait) or "200 ended 3" (a wait the reply pace ended early).
std::string WaitText(const std::string& note)
{
    const size_t ended = note.find(" ended ");
    if (ended == std::string::npos)
        return note + " ms";
    return note.substr(0, ended) + " ms, ended after " + note.substr(ended + 7) + " ms";
}

// The trace is read and shown a line at a time, so its size does not
// matter; a line is held whole, and one far longer than a font download's
// largest write is passed over rather than held.
constexpr size_t kMaxLineBytes = 16u << 20;
// A reply is told from its first bytes; of a run of received bytes longer
// than any reply only these are kept, the rest counted.
constexpr size_t kKeptReplyBytes = 64u << 10;
constexpr char kHeading[] = "      ms     gap  what\n";
// Bytes that are no command are shown this far, then counted.
constexpr size_t kShownBytes = 16;

std::string Hex(const uint8_t* bytes, size_t length)
{
    std::string text = platform::HexBytes(bytes, std::min(length, kShownBytes));
    if (length > kShownBytes)
        text += " ... (" + std::to_string(length) + " bytes)";
    return text;
}

// Bytes no command names: as text when they are text (Print Test String), else in hex.
std::string Unnamed(const std::vector<uint8_t>& bytes)
{
    std::string text;
    for (const uint8_t byte : bytes) {
        if (byte == '\r')
            text += "\\r";
        else if (byte == '\n')
            text += "\\n";
        else if (byte >= 0x20 && byte < 0x7F)
            text += char(byte);
        else
            return Hex(bytes.data(), bytes.size());
    }
    return "text \"" + text + "\"";
}

// "12 34 ab" into bytes; false when a word is not two hexadecimal digits.
bool ReadHex(std::istringstream& words, std::vector<uint8_t>& bytes)
{
    std::string word;
    while (words >> word) {
        unsigned value = 0;
        int used = 0;
        if (word.size() != 2 || std::sscanf(word.c_str(), "%2x%n", &value, &used) != 1 || used != 2)
            return false;
        bytes.push_back(uint8_t(value));
    }
    return !bytes.empty();
}

class TraceView {
public:
    explicit TraceView(std::ostream& out) : m_out(out) {}

    void Line(const std::string& line);
    // Shows the bytes received so far, under the heading.
    void Flush();
    // A line too long to hold, in its place.
    void Overlong();
    // The first line was neither a trace's nor a wire log's: nothing is shown.
    bool Refused() const { return m_refused; }

private:
    void Row(const std::string& kind, const std::string& what);
    void Sent(const std::vector<uint8_t>& bytes);
    void Received(const std::vector<uint8_t>& bytes);

    // Tells a trace (its first line names kalo) or a wire log (its first line
    // is a transfer) from any other file, whose lines would all be refused.
    bool Judge(const std::string& line);

    std::ostream& m_out;
    bool m_judged = false;
    bool m_refused = false;
    bool m_headed = false;
    bool m_program = false; // a kalo trace (tx sent), not a kalo-vprinter wire log (rx sent)
    bool m_announced = false;
    bool m_started = false;
    int64_t m_last = 0;
    std::string m_receivedTime;
    std::string m_time; // the time columns of the line being shown; blank after its first row
    std::string m_query; // the command the bytes received since answer
    std::vector<uint8_t> m_reply;
    // Lines of received bytes in a row are one row: a byte-wise link reads a reply a byte at a time.
    std::vector<uint8_t> m_received;
    size_t m_receivedBytes = 0; // m_received keeps the first kKeptReplyBytes of them
    int m_receivedLines = 0;
};

void Keep(std::vector<uint8_t>& kept, const uint8_t* bytes, size_t length)
{
    kept.insert(kept.end(), bytes, bytes + std::min(length, kKeptReplyBytes - std::min(kKeptReplyBytes, kept.size())));
}

void TraceView::Row(const std::string& kind, const std::string& what)
{
    char kindColumn[16];
    std::snprintf(kindColumn, sizeof kindColumn, "%-10s", kind.c_str());
    m_out << m_time << kindColumn << platform::Printable(what) << '\n';
    m_time = std::string(m_time.size(), ' ');
}

// Commands are named while they follow one another from the start of the
// write; the first byte that begins none makes the rest data (text, a font
// block), which would only be cut up by the commands its bytes happen to spell.
void TraceView::Sent(const std::vector<uint8_t>& bytes)
{
    for (size_t at = 0; at < bytes.size();) {
        const cmd::CommandName command = cmd::NameCommand(bytes.data() + at, bytes.size() - at);
        if (command.length == 0) {
            Row("sent", Unnamed(std::vector<uint8_t>(bytes.begin() + std::ptrdiff_t(at), bytes.end())));
            m_query.clear();
            return;
        }
        Row("sent", command.name + " (" + Hex(bytes.data() + at, command.length) + ")");
        m_query = command.name;
        m_reply.clear();
        at += command.length;
    }
}

void TraceView::Received(const std::vector<uint8_t>& bytes)
{
    if (m_receivedLines == 0)
        m_receivedTime = m_time;
    Keep(m_received, bytes.data(), bytes.size());
    m_receivedBytes += bytes.size();
    ++m_receivedLines;
}

bool TraceView::Judge(const std::string& line)
{
    if (!std::exchange(m_judged, true)) {
        m_program = line.rfind("# kalo ", 0) == 0;
        std::istringstream words(line);
        int64_t ms = 0;
        std::string kind;
        std::vector<uint8_t> bytes;
        m_refused = !m_program && !(words >> ms >> kind && ms >= 0
                                    && (kind == "open" || ((kind == "tx" || kind == "rx") && ReadHex(words, bytes))));
    }
    if (!m_refused && !std::exchange(m_headed, true))
        m_out << kHeading;
    return !m_refused;
}

void TraceView::Flush()
{
    if (!std::exchange(m_headed, true))
        m_out << kHeading;
    if (m_receivedLines == 0)
        return;
    Keep(m_reply, m_received.data(), m_received.size());
    const std::string reply = cmd::DescribeReply(m_query, m_reply.data(), m_reply.size());
    std::string what = Hex(m_received.data(), m_receivedBytes);
    if (m_receivedLines > 1)
        what += " (" + std::to_string(m_receivedLines) + " reads)";
    if (!reply.empty()) {
        what += ": " + reply;
        m_query.clear();
    }
    const std::string time = m_time;
    m_time = m_receivedTime;
    Row("received", what);
    m_time = time;
    m_received.clear();
    m_receivedBytes = 0;
    m_receivedLines = 0;
}

void TraceView::Overlong()
{
    if (!Judge(""))
        return;
    Flush();
    m_out << "not a trace line: more than " << (kMaxLineBytes >> 20) << " MiB without a line break\n";
}

void TraceView::Line(const std::string& line)
{
    if (line.empty() || !Judge(line))
        return;
    if (line[0] == '#') {
        Flush();
        m_program = m_program || line.rfind("# kalo ", 0) == 0;
        m_out << platform::Printable(line) << '\n';
        return;
    }
    if (!m_announced && !m_program)
        m_out << "# a kalo-vprinter wire log: \"sent\" is what the printer received\n";
    m_announced = true;
    std::istringstream words(line);
    int64_t ms = 0;
    std::string kind, note;
    std::vector<uint8_t> bytes;
    // Times run from 0; none is negative, so no gap can overflow.
    const bool timed = bool(words >> ms >> kind) && ms >= 0;
    const bool transfer = timed && (kind == "tx" || kind == "rx") && ReadHex(words, bytes);
    const bool noted = timed && (kind == "wait" || kind == "error" || kind == "open" || kind == "close")
        && std::getline(words >> std::ws, note);
    const bool received = transfer && (kind == "tx") != m_program;
    if (!received)
        Flush();
    if (!transfer && !noted) {
        m_out << "not a trace line: " << platform::Printable(line) << '\n';
        return;
    }
    char time[32];
    std::snprintf(time, sizeof time, "%8lld %+7lld  ", static_cast<long long>(ms),
                  static_cast<long long>(m_started ? ms - m_last : 0));
    m_time = time;
    m_started = true;
    m_last = ms;
    if (received)
        Received(bytes);
    else if (transfer)
        Sent(bytes);
    else
        Row(kind, kind == "wait" ? WaitText(note) : note);
}

// Takes the trace in pieces as they are read and shows each line once it is whole.
class TraceReader {
public:
    explicit TraceReader(std::ostream& out) : m_view(out) {}

    void Take(const char* data, size_t length)
    {
        for (const char* end = data + length; data != end;) {
            const char* const newline = std::find(data, end, '\n');
            const size_t room = kMaxLineBytes - std::min(kMaxLineBytes, m_line.size());
            if (size_t(newline - data) > room)
                m_overlong = true;
            if (!m_overlong)
                m_line.append(data, newline);
            data = newline;
            if (data != end) {
                ++data;
                EndLine();
            }
        }
    }
    void Finish()
    {
        if (m_overlong || !m_line.empty())
            EndLine();
        if (!m_view.Refused())
            m_view.Flush();
    }
    bool Refused() const { return m_view.Refused(); }

private:
    void EndLine()
    {
        if (m_overlong)
            m_view.Overlong();
        else
            m_view.Line(m_line);
        m_line.clear();
        m_overlong = false;
    }

    TraceView m_view;
    std::string m_line;
    bool m_overlong = false;
};

} // namespace

std::string ViewTrace(const std::string& trace)
{
    std::ostringstream out;
    TraceReader reader(out);
    reader.Take(trace.data(), trace.size());
    reader.Finish();
    return out.str();
}

const char* TraceViewCommand::Description() const
{
    return "Prints a trace written with --trace (or KALO_TRACE for the window), or a\n"
           "kalo-vprinter --wire-log, a line per command: the time in ms, the time since\n"
           "the line before, the command sent by its name, the reply received (told in\n"
           "words where it is simple), the waits and the failures.\n";
}

int TraceViewCommand::Execute(CommandContext& context)
{
    if (!TakeArguments(context))
        return kExitUsage;
    // Shown as it is read: memory stays small whatever the trace's size, and
    // a reader sees the start at once. A write refused stops the reading.
    std::ostream& out = context.live ? *context.live : context.out;
    TraceReader reader(out);
    std::string error;
    const bool read = platform::ReadFileInPieces(
        context.args.front(),
        [&](const char* data, size_t length) {
            reader.Take(data, length);
            return bool(out) && !reader.Refused() && !platform::Interrupted();
        },
        error);
    if (!read && !reader.Refused()) {
        context.err << error << '\n';
        return kExitFailed;
    }
    if (reader.Refused()) {
        context.err << "kaloctl trace-view: " << platform::Printable(context.args.front())
                    << " is neither a kalo trace (--trace, KALO_TRACE) nor a kalo-vprinter wire log (--wire-log)\n";
        return kExitFailed;
    }
    reader.Finish();
    out.flush();
    return out ? kExitOk : kExitFailed;
}

} // namespace kalo::cli
