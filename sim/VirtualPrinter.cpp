#include "VirtualPrinter.h"

#include "platform/Files.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <utility>

namespace kalo::sim {

namespace {
constexpr uint8_t ESC = 0x1B, GS = 0x1D, FS = 0x1C, LF = 0x0A, VENDOR = 0x08, DLE = 0x10, EOT = 0x04;
constexpr size_t kMaxStateFileBytes = 4096;
constexpr uint8_t kFontHeader[5] = {0x1C, 0x6C, 0x64, 0x73, 0x58};
constexpr uint8_t kSwitchReplyHeader = 0x37;
constexpr uint8_t kSwitchReplyId = 0x21;
constexpr int kSwitchNumbers[8] = {1, 2, 3, 4, 5, 6, 11, 12};

uint8_t Bit(bool on, int bit)
{
    return on ? uint8_t(1u << bit) : 0;
}

// The answer to DLE EOT n (1-4), written from the printer's side.
uint8_t RealTimeStatus(const PrinterState& state, uint8_t n)
{
    const bool error = state.cutterError || state.unrecoverableError || state.autoRecoverableError;
    // The printer stops, and so goes off line, at a paper end, an open cover
    // or an error; the off-line cause (n = 2) then says which.
    const bool offline = state.offline || state.paperOut || state.coverOpen || error;
    uint8_t byte = 0x12; // bits 1 and 4 always set, bits 0 and 7 always clear
    switch (n) {
    case 1: byte |= Bit(state.drawerHigh, 2) | Bit(offline, 3); break;
    case 2: byte |= Bit(state.coverOpen, 2) | Bit(state.paperOut, 5) | Bit(error, 6); break;
    case 3:
        byte |= Bit(state.cutterError, 3) | Bit(state.unrecoverableError, 5) | Bit(state.autoRecoverableError, 6);
        break;
    default: // 4, the roll sensor: a roll that has run out is near its end as well
        byte |= Bit(state.paperNearEnd || state.paperOut, 2) | Bit(state.paperNearEnd || state.paperOut, 3)
            | Bit(state.paperOut, 5) | Bit(state.paperOut, 6);
        break;
    }
    return byte;
}

std::string Hex(uint8_t byte)
{
    char text[3];
    std::snprintf(text, sizeof text, "%02x", byte);
    return text;
}
} // namespace

VirtualPrinter::VirtualPrinter(PrinterOptions options, PaperRoll::LineSink paper)
    : m_options(std::move(options))
    , m_paper(std::move(paper))
    , m_garbage(m_options.garbageSeed.value_or(m_options.seed))
    , m_complaints([](const std::string& text) { std::cerr << "kalo-vprinter: " << text << std::endl; })
{
}

void VirtualPrinter::Receive(const uint8_t* data, size_t length, std::vector<uint8_t>& reply,
                             std::vector<ReplyEnd>* replyEnds)
{
    std::vector<ReplyEnd> ends;
    // Font data is counted as it streams by rather than kept.
    if (m_pending.empty() && m_fontExpected > 0) {
        const size_t take = size_t(std::min<uint64_t>(m_fontExpected, length));
        m_fontExpected -= take;
        m_fontReceived += take;
        data += take;
        length -= take;
        if (m_fontExpected == 0)
            m_paper.Event("font download complete: " + std::to_string(m_fontAnnounced) + " bytes");
    }
    m_pending.insert(m_pending.end(), data, data + length);
    size_t pos = 0;
    while (pos < m_pending.size()) {
        if (m_fontExpected > 0) {
            const size_t take = size_t(std::min<uint64_t>(m_fontExpected, m_pending.size() - pos));
            m_fontExpected -= take;
            m_fontReceived += take;
            pos += take;
            if (m_fontExpected == 0)
                m_paper.Event("font download complete: " + std::to_string(m_fontAnnounced) + " bytes");
            continue;
        }
        const size_t before = reply.size();
        const size_t used = Parse(m_pending.data() + pos, m_pending.size() - pos, reply);
        if (reply.size() > before)
            ends.push_back({reply.size(), m_realTimeAnswer});
        m_realTimeAnswer = false;
        if (used == 0)
            break;
        pos += used;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + long(pos));
    if (m_options.silent) {
        reply.clear();
        ends.clear();
    }
    // The generator's own output is used rather than a distribution, whose
    // results differ between standard libraries, so a seed replays anywhere.
    if (m_options.garbage && !reply.empty()) {
        reply.resize(m_garbage() % (PrinterOptions::kGarbageMaxBytes + 1));
        for (uint8_t& byte : reply)
            byte = uint8_t(m_garbage());
        // One reply in place of them all, as urgent as they all were.
        const bool realTime = std::all_of(ends.begin(), ends.end(), [](const ReplyEnd& e) { return e.realTime; });
        ends.clear();
        if (!reply.empty())
            ends.push_back({reply.size(), realTime});
    }
    if (replyEnds)
        replyEnds->insert(replyEnds->end(), ends.begin(), ends.end());
}

void VirtualPrinter::EndOfStream()
{
    if (m_fontExpected > 0) {
        m_paper.Event("font download incomplete: " + std::to_string(m_fontAnnounced - m_fontExpected) + " of "
                      + std::to_string(m_fontAnnounced) + " bytes");
        m_fontExpected = 0;
    }
    m_pending.clear();
    m_userSetting = false;
}

void VirtualPrinter::ReportOverrun(uint64_t lost)
{
    m_paper.Event("input overrun: " + std::to_string(lost) + " bytes lost");
}

void VirtualPrinter::Answer(std::vector<uint8_t>& reply, std::initializer_list<uint8_t> bytes)
{
    reply.insert(reply.end(), bytes);
}

void VirtualPrinter::AnswerText(std::vector<uint8_t>& reply, const std::string& text)
{
    reply.push_back(0x5F);
    reply.insert(reply.end(), text.begin(), text.end());
    reply.push_back(0x00);
}

size_t VirtualPrinter::Parse(const uint8_t* p, size_t n, std::vector<uint8_t>& reply)
{
    switch (p[0]) {
    case ESC: return ParseEsc(p, n);
    case GS: return ParseGs(p, n, reply);
    case FS: return ParseFs(p, n);
    case VENDOR: return ParseVendor(p, n, reply);
    case DLE: return ParseDle(p, n, reply);
    case LF: m_paper.LineFeed(); return 1;
    default:
        if (p[0] >= 0x20 && p[0] != 0x7F)
            m_paper.Text(char(p[0]));
        return 1; // other control bytes do nothing on this printer
    }
}

size_t VirtualPrinter::ParseEsc(const uint8_t* p, size_t n)
{
    if (n < 2)
        return 0;
    auto need = [n](size_t count) { return n >= count; };
    switch (p[1]) {
    case '@': m_paper.Reset(); return 2;
    case '2': return 2;
    case '=': case '3': case 't':
        return need(3) ? 3 : 0;
    case '!':
        if (!need(3)) return 0;
        m_paper.SetPrintMode(p[2]);
        return 3;
    case 'E':
        if (!need(3)) return 0;
        m_paper.SetBold(p[2] & 1);
        return 3;
    case '-':
        if (!need(3)) return 0;
        m_paper.SetUnderline((p[2] & 0x0F) != 0);
        return 3;
    case 'a':
        if (!need(3)) return 0;
        m_paper.SetAlignment(p[2] & 0x0F);
        return 3;
    case 'J':
        if (!need(3)) return 0;
        m_paper.Flush();
        m_paper.Event("feed " + std::to_string(p[2]) + " dots");
        return 3;
    case 'd':
        if (!need(3)) return 0;
        m_paper.Flush();
        for (int i = 0; i < p[2]; ++i)
            m_paper.LineFeed();
        return 3;
    case 'p':
        if (!need(5)) return 0;
        m_paper.Event("drawer pulse on pin " + std::string((p[2] & 1) ? "5" : "2") + ", on " + std::to_string(p[3] * 2)
                      + " ms, off " + std::to_string(p[4] * 2) + " ms");
        return 5;
    default:
        return 2;
    }
}

size_t VirtualPrinter::ParseGs(const uint8_t* p, size_t n, std::vector<uint8_t>& reply)
{
    if (n < 2)
        return 0;
    switch (p[1]) {
    case 'a':
        return n >= 3 ? 3 : 0;
    case 'I':
        if (n < 3)
            return 0;
        switch (p[2]) {
        case 0x03: Answer(reply, {uint8_t(m_options.wrongId ? 0x62 : 0x63)}); break;
        case 'A': AnswerText(reply, m_options.firmware); break;
        case 'B': AnswerText(reply, m_options.maker); break;
        case 'C': AnswerText(reply, m_options.model); break;
        case 'E': AnswerText(reply, m_options.language); break;
        default: break;
        }
        return 3;
    case 'V':
        if (n < 3)
            return 0;
        if (p[2] == 65 || p[2] == 66) {
            if (n < 4)
                return 0;
            m_paper.Event("cut");
            return 4;
        }
        m_paper.Event("cut");
        return 3;
    case '(': {
        if (n < 5)
            return 0;
        const size_t body = size_t(p[3]) | (size_t(p[4]) << 8);
        if (n < 5 + body)
            return 0;
        if (p[2] == 'E')
            UserSetup(p + 5, body, reply);
        else if (p[2] == 'A' && body >= 2)
            PrintSelfTest();
        return 5 + body;
    }
    default:
        return 2;
    }
}

size_t VirtualPrinter::ParseFs(const uint8_t* p, size_t n)
{
    if (n < 2)
        return 0;
    if (p[1] == 'p') {
        if (n < 4)
            return 0;
        m_paper.Event("NV image " + std::to_string(p[2]) + ", mode " + std::to_string(p[3]));
        return 4;
    }
    // A font image: the header, a little-endian count, then that many bytes.
    size_t matched = 0;
    while (matched < 5 && matched < n && p[matched] == kFontHeader[matched])
        ++matched;
    if (matched == 5) {
        if (n < 9)
            return 0;
        m_fontAnnounced = uint64_t(p[5]) | uint64_t(p[6]) << 8 | uint64_t(p[7]) << 16 | uint64_t(p[8]) << 24;
        m_fontExpected = m_fontAnnounced;
        m_fontReceived = 0;
        m_paper.Event("font download started: " + std::to_string(m_fontAnnounced) + " bytes announced");
        if (m_fontExpected == 0)
            m_paper.Event("font download complete: 0 bytes");
        return 9;
    }
    if (matched == n)
        return 0; // could still become a font header
    return 2;
}

size_t VirtualPrinter::ParseVendor(const uint8_t* p, size_t n, std::vector<uint8_t>& reply)
{
    if (n < 2)
        return 0;
    if (p[1] == 0x5E) {
        if (n < 4)
            return 0;
        if (p[2] != 0x50)
            return 4;
        if (p[3] == 0x31) {
            Answer(reply, {0x50, uint8_t(m_options.powerSave ? 1 : 0), m_options.entranceTime, 0x00});
            return 4;
        }
        if (p[3] == 0x30) {
            if (n < 6)
                return 0;
            m_options.powerSave = p[4] != 0;
            m_options.entranceTime = p[5];
            return 6;
        }
        return 4;
    }
    if (p[1] == 0x39) {
        if (n < 4)
            return 0;
        if (p[2] == 0x01)
            PrintStatusSheet();
        else if (p[2] == 0x02)
            PrintCodePageSheet();
        return 4;
    }
    return 1;
}

size_t VirtualPrinter::ParseDle(const uint8_t* p, size_t n, std::vector<uint8_t>& reply)
{
    if (n < 2)
        return 0;
    if (p[1] != EOT)
        return 1; // other real-time commands do nothing on this printer
    if (n < 3)
        return 0;
    if (p[2] >= 1 && p[2] <= 4) {
        Answer(reply, {RealTimeStatus(CurrentState(), p[2])});
        m_realTimeAnswer = true;
    }
    return 3;
}

PrinterState VirtualPrinter::CurrentState()
{
    if (m_options.stateFile.empty())
        return m_options.state;
    std::string text, trouble;
    PrinterState state;
    if (platform::ReadFile(m_options.stateFile, kMaxStateFileBytes, text, trouble) && !ApplyState(text, state, trouble))
        trouble = m_options.stateFile + ": " + trouble;
    if (!trouble.empty() && trouble != m_stateFileTrouble)
        m_complaints(trouble + "; answering as --state says");
    m_stateFileTrouble = trouble;
    return trouble.empty() ? state : m_options.state;
}

void VirtualPrinter::UserSetup(const uint8_t* body, size_t length, std::vector<uint8_t>& reply)
{
    if (length < 1)
        return;
    const uint8_t function = body[0];
    if (function == 1 && length >= 3 && body[1] == 'I' && body[2] == 'N') {
        m_userSetting = true;
        Answer(reply, {kSwitchReplyHeader, 0x20, 0x00});
    } else if (function == 2 && length >= 4 && body[1] == 'O' && body[2] == 'U' && body[3] == 'T') {
        m_userSetting = false;
    } else if (function == 3 && length >= 10 && m_userSetting) {
        const int slot = SwitchSlot(body[1]);
        if (slot < 0)
            return;
        uint8_t value = m_options.switches[slot];
        for (int pin = 8; pin >= 1; --pin) {
            const uint8_t c = body[2 + (8 - pin)];
            const uint8_t bit = uint8_t(1u << (pin - 1));
            if (c == '1')
                value |= bit;
            else if (c == '0')
                value &= uint8_t(~bit);
        }
        const uint8_t stuck = m_options.stuckPins[slot];
        m_options.switches[slot] = uint8_t((value & ~stuck) | (m_options.switches[slot] & stuck));
    } else if (function == 4 && length >= 2) {
        const int slot = SwitchSlot(body[1]);
        if (slot < 0)
            return;
        reply.push_back(kSwitchReplyHeader);
        reply.push_back(kSwitchReplyId);
        const std::string digits = SwitchDigits(slot);
        reply.insert(reply.end(), digits.begin(), digits.end());
        reply.push_back(0x00);
    }
}

std::string VirtualPrinter::SwitchDigits(int slot) const
{
    std::string digits;
    for (int pin = 8; pin >= 1; --pin)
        digits += (m_options.switches[slot] >> (pin - 1)) & 1 ? '1' : '0';
    return digits;
}

void VirtualPrinter::PrintSelfTest()
{
    m_paper.Event("self test");
    auto line = [this](const std::string& text) {
        for (char c : text)
            m_paper.Text(c);
        m_paper.LineFeed();
    };
    line(m_options.maker + " " + m_options.model);
    line("Firmware " + m_options.firmware + ", " + m_options.language);
    for (int slot = 0; slot < 8; ++slot)
        line("Memory switch " + std::to_string(kSwitchNumbers[slot]) + ": " + SwitchDigits(slot));
    m_paper.Event("cut");
}

void VirtualPrinter::PrintStatusSheet()
{
    m_paper.Event("status sheet");
    auto line = [this](const std::string& text) {
        for (char c : text)
            m_paper.Text(c);
        m_paper.LineFeed();
    };
    line("Model " + m_options.model + ", firmware " + m_options.firmware);
    for (int slot = 0; slot < 8; ++slot)
        line("MSW" + std::to_string(kSwitchNumbers[slot]) + " (pin 8..1) " + SwitchDigits(slot));
    line(std::string("Power save ") + (m_options.powerSave ? "on" : "off") + ", entrance time "
         + std::to_string(m_options.entranceTime) + " s");
    m_paper.Event("cut");
}

void VirtualPrinter::PrintCodePageSheet()
{
    m_paper.Event("code page sheet");
    // The code page lives in pins 3..8 of memory switch 2.
    const int page = (m_options.switches[1] >> 2) & 0x3F;
    std::string text = "Code page setting " + std::to_string(page) + " (0x" + Hex(uint8_t(page)) + ")";
    for (char c : text)
        m_paper.Text(c);
    m_paper.LineFeed();
    for (int row = 0x20; row < 0x80; row += 0x10) {
        for (int c = row; c < row + 0x10; ++c)
            m_paper.Text(c == 0x7F ? ' ' : char(c));
        m_paper.LineFeed();
    }
    m_paper.Event("cut");
}

} // namespace kalo::sim
