#pragma once

#include "FontImage.h"
#include "ProgressSink.h"
#include "platform/Clock.h"
#include "port/CPrinterPort.h"

#include <functional>
#include <string>

namespace kalo {

// How a font download ended.
enum class FontDownloadEnd {
    Complete,         // the last block went out
    BlockWriteFailed, // a block write took nothing
    FinalWriteFailed, // the last write took nothing
    Stopped,          // given up from outside (the window closed)
};

struct FontDownloadOutcome {
    FontDownloadEnd end = FontDownloadEnd::Complete;
    uint64_t sent = 0;
    uint64_t total = 0;
    bool Succeeded() const { return end == FontDownloadEnd::Complete; }
};

inline constexpr char kFontDownloadFailed[] = "Fail to download Font!";
inline constexpr char kFontFinalWriteFailed[] = "Font Download Error at less than 4096";
inline constexpr char kFontDownloadSucceeded[] = "Success to Download Font!, And Reboot Printer";

// What a download cut short leaves behind, for the technician, and what
// sends the font again ("set the font again with Set Status").
std::string PartialFontMessage(const FontDownloadOutcome& outcome, const std::string& again);

// Sends a font image the way the printer takes it: 64 bytes first, then one
// block of 4096 bytes a tick with a 10 ms wait after each, then the rest in
// one write. The caller provides the ticks (a window timer, or a loop that
// waits kTickMs between them); the image is released when the download ends.
class FontDownload {
public:
    using Writer = std::function<int(const uint8_t* data, uint32_t length)>;
    enum class Next { Tick, Finished, Failed };

    static constexpr uint32_t kFirstWrite = 64;
    static constexpr uint32_t kBlock = 4096;
    static constexpr uint32_t kTickMs = 10;
    static constexpr uint32_t kBlockWaitMs = 10;

    FontDownload(Writer writer, platform::Clock& clock, ProgressSink& progress, FontImage image);
    FontDownload(CPrinterPort& port, platform::Clock& clock, ProgressSink& progress, FontImage image);

    // The first write; the next step is a tick.
    void Start();
    // One block, or the last write. A tick that comes before NextTickDue
    // waits for it first; once the program is interrupted it writes nothing.
    Next Tick();
    // When the next tick is due: the tick period after the last block's wait.
    // Aiming at it, rather than waiting the period after each wake-up, keeps
    // the small lateness of every timer and sleep from adding up over
    // hundreds of blocks.
    int64_t NextTickDue() const { return m_due; }
    // Gives up between ticks: no further write, the image released.
    void Stop();

    const FontDownloadOutcome& Outcome() const { return m_outcome; }
    uint64_t Sent() const { return m_outcome.sent; }
    uint64_t Total() const { return m_outcome.total; }
    int BlockCount() const { return m_blockCount; }
    const std::string& Origin() const { return m_origin; }

private:
    uint32_t Write(uint32_t length);
    void Release();

    Writer m_write;
    platform::Clock& m_clock;
    ProgressSink& m_progress;
    std::string m_image;
    std::string m_origin;
    size_t m_next = 0; // the next byte to send
    int m_blockCount = 0;
    int64_t m_due = 0;
    FontDownloadOutcome m_outcome;
};

// A whole download on the clock: the tick period waited before every tick.
// onTick, when given, runs after each one. An interruption of the program
// stops it between blocks.
FontDownloadOutcome RunFontDownload(FontDownload& download, platform::Clock& clock,
                                    const std::function<void()>& onTick = nullptr);

// After a download over a byte-wise link: ten single-byte reads 50 ms apart
// take whatever the printer said while it took the image.
void DrainAfterFontDownload(CPrinterPort& port, platform::Clock& clock, PortKind interfaceKind);

} // namespace kalo
