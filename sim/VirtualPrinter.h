#pragma once

#include "PaperRoll.h"
#include "PrinterOptions.h"

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace kalo::sim {

// The printer itself, written from the printer's side: it takes the bytes it
// receives, acts on the commands it knows, ignores what it does not know,
// keeps a command that has not fully arrived until the rest comes, and says
// what it answers. It knows nothing about time or links; its transports do.
class VirtualPrinter {
public:
    // Where one reply ends in the bytes sent back, and whether it answers a
    // real-time command: such an answer goes out at once, ahead of the
    // replies still waiting for their time.
    struct ReplyEnd {
        size_t end;
        bool realTime = false;
    };
    // Told why the state file cannot be followed, once per change of reason.
    using Complaints = std::function<void(const std::string&)>;

    VirtualPrinter(PrinterOptions options, PaperRoll::LineSink paper);

    // Bytes received; what the printer sends back is appended to reply. With
    // replyEnds, where each reply to a query ends in reply is appended there,
    // so each can be timed on its own.
    void Receive(const uint8_t* data, size_t length, std::vector<uint8_t>& reply,
                 std::vector<ReplyEnd>* replyEnds = nullptr);
    // Standard error by default.
    void SetComplaints(Complaints complaints) { m_complaints = std::move(complaints); }
    // The link went away: an unfinished font download is reported as such.
    void EndOfStream();
    // Bytes that came when the input buffer was full are gone; the paper says how many.
    void ReportOverrun(uint64_t lost);

    const PrinterOptions& Options() const { return m_options; }
    uint8_t SwitchBits(int slot) const { return m_options.switches[slot]; }
    bool InUserSetting() const { return m_userSetting; }
    bool PowerSave() const { return m_options.powerSave; }
    uint8_t EntranceTime() const { return m_options.entranceTime; }
    uint64_t FontBytesReceived() const { return m_fontReceived; }

    static constexpr uint8_t kNoiseByte = 0x55;

private:
    // Returns how many bytes the command at p takes, 0 when it is not all there yet.
    size_t Parse(const uint8_t* p, size_t n, std::vector<uint8_t>& reply);
    size_t ParseEsc(const uint8_t* p, size_t n);
    size_t ParseGs(const uint8_t* p, size_t n, std::vector<uint8_t>& reply);
    size_t ParseFs(const uint8_t* p, size_t n);
    size_t ParseVendor(const uint8_t* p, size_t n, std::vector<uint8_t>& reply);
    size_t ParseDle(const uint8_t* p, size_t n, std::vector<uint8_t>& reply);
    // The state the real-time answers report now: the state file's, while it
    // can be read and holds only known words, else the options'.
    PrinterState CurrentState();
    void UserSetup(const uint8_t* body, size_t length, std::vector<uint8_t>& reply);
    void Answer(std::vector<uint8_t>& reply, std::initializer_list<uint8_t> bytes);
    void AnswerText(std::vector<uint8_t>& reply, const std::string& text);
    void PrintSelfTest();
    void PrintStatusSheet();
    void PrintCodePageSheet();
    std::string SwitchDigits(int slot) const;

    PrinterOptions m_options;
    PaperRoll m_paper;
    std::vector<uint8_t> m_pending; // a command still waiting for its last bytes
    bool m_userSetting = false;
    // Font download in progress: bytes still expected, and the announced count.
    uint64_t m_fontExpected = 0;
    uint64_t m_fontAnnounced = 0;
    uint64_t m_fontReceived = 0;
    std::mt19937 m_garbage;
    bool m_realTimeAnswer = false; // the command just parsed answered in real time
    std::string m_stateFileTrouble; // the reason last told, empty while the file is followed
    Complaints m_complaints;
};

} // namespace kalo::sim
