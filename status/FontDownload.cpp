#include "FontDownload.h"

#include "platform/Interruption.h"

#include <algorithm>

namespace kalo {

std::string PartialFontMessage(const FontDownloadOutcome& outcome, const std::string& again)
{
    return "The font download stopped after " + std::to_string(outcome.sent) + " of " + std::to_string(outcome.total)
        + " bytes. The printer holds a partial font until a download completes: " + again + ".";
}

FontDownload::FontDownload(Writer writer, platform::Clock& clock, ProgressSink& progress, FontImage image)
    : m_write(std::move(writer))
    , m_clock(clock)
    , m_progress(progress)
    , m_image(std::move(image.bytes))
    , m_origin(std::move(image.origin))
{
    m_outcome.total = m_image.size();
}

FontDownload::FontDownload(CPrinterPort& port, platform::Clock& clock, ProgressSink& progress, FontImage image)
    : FontDownload([&port](const uint8_t* data, uint32_t length) { return port.Write(data, length); }, clock,
                   progress, std::move(image))
{
}

uint32_t FontDownload::Write(uint32_t length)
{
    // Once the program is interrupted nothing new starts, but a write under
    // way goes out whole: a printer left with part of a block would take the
    // next bytes it gets as the rest of the font.
    if (platform::Interrupted())
        return 0;
    const platform::InterruptionHold hold;
    const int written = m_write(reinterpret_cast<const uint8_t*>(m_image.data()) + m_next, length);
    // A port never reports more than it was given; anything odd counts as nothing.
    const uint32_t taken = written > 0 ? std::min(uint32_t(written), length) : 0;
    m_next += taken;
    m_outcome.sent = m_next;
    return taken;
}

void FontDownload::Release()
{
    std::string().swap(m_image);
}

void FontDownload::Start()
{
    m_progress.SetStep(1);
    m_progress.SetPosition(10);
    m_blockCount = 1;
    // What the first write took is not checked: the blocks go on from there.
    Write(uint32_t(std::min<size_t>(kFirstWrite, m_image.size())));
    m_due = m_clock.NowMicros() + int64_t(kTickMs) * 1000;
    m_progress.Step();
}

FontDownload::Next FontDownload::Tick()
{
    m_clock.SleepUntilMicros(m_due);
    // Interrupted, nothing new starts: whoever runs the download stops it.
    if (platform::Interrupted())
        return Next::Tick;
    ++m_blockCount;
    const size_t remaining = m_image.size() - m_next;
    if (remaining > kBlock) {
        const uint32_t taken = Write(kBlock);
        if (m_blockCount % 4 == 0)
            m_progress.Step();
        const int64_t written = m_clock.NowMicros();
        m_clock.SleepMs(kBlockWaitMs);
        m_due = written + int64_t(kBlockWaitMs + kTickMs) * 1000;
        if (taken == 0) {
            m_outcome.end = FontDownloadEnd::BlockWriteFailed;
            Release();
            return Next::Failed;
        }
        // A short block is not an error: the next tick goes on after its last byte.
        return Next::Tick;
    }
    const uint32_t taken = Write(uint32_t(remaining));
    m_progress.SetPosition(100);
    Release();
    // A short last write counts as complete: only one that took nothing failed.
    m_outcome.end = taken == 0 && remaining > 0 ? FontDownloadEnd::FinalWriteFailed : FontDownloadEnd::Complete;
    return m_outcome.end == FontDownloadEnd::Complete ? Next::Finished : Next::Failed;
}

void FontDownload::Stop()
{
    m_outcome.end = FontDownloadEnd::Stopped;
    Release();
}

FontDownloadOutcome RunFontDownload(FontDownload& download, platform::Clock& clock,
                                    const std::function<void()>& onTick)
{
    download.Start();
    FontDownload::Next next = FontDownload::Next::Tick;
    while (next == FontDownload::Next::Tick) {
        clock.SleepUntilMicros(download.NextTickDue());
        // Between two blocks, as the window stops it when it closes.
        if (platform::Interrupted()) {
            download.Stop();
            break;
        }
        next = download.Tick();
        if (onTick)
            onTick();
    }
    return download.Outcome();
}

void DrainAfterFontDownload(CPrinterPort& port, platform::Clock& clock, PortKind interfaceKind)
{
    if (!IsByteWise(interfaceKind))
        return;
    for (int i = 0; i < 10; ++i) {
        clock.SleepMs(50);
        uint8_t byte = 0;
        port.Read(&byte, 1);
    }
}

} // namespace kalo
