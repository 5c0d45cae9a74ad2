#include "FontCommand.h"

#include "StatusReport.h"
#include "TerminalOutput.h"
#include "status/FontDownload.h"
#include "status/ResourceFonts.h"
#include "status/StatusExchange.h"

#include <cstdio>

namespace kalo::cli {

namespace {

const char kSendAgain[] = "run kaloctl download-font again";

struct DownloadFontRequest {
    std::string file;
    bool json = false;
};

const OptionTable<DownloadFontRequest>& DownloadFontTable()
{
    static const OptionTable<DownloadFontRequest> table = {
        {{"--file", "IMAGE", "send this image instead of the font folder's (checked the same way)",
          OptionValues::Text("a file name")},
         [](DownloadFontRequest& r, const OptionValue& v) { r.file = v.text; }},
        {{"--json", "", "print {\"sent\", \"total\", \"whole\", \"message\"} (bytes) as JSON", OptionValues::None()},
         [](DownloadFontRequest& r, const OptionValue&) { r.json = true; }},
    };
    return table;
}

// CHOICE: a downloadable font by its list text (or a beginning only it has) or its number 2..6.
const OptionValues& Choices()
{
    static const OptionValues values = [] {
        std::vector<std::string> texts;
        std::vector<std::pair<std::string, int>> numbers;
        for (const FontChoice& font : kFontChoices) {
            numbers.emplace_back(std::to_string(font.choice), int(texts.size()));
            texts.emplace_back(font.listText);
        }
        return OptionValues::ListEntry(texts, numbers);
    }();
    return values;
}

std::string Kib(uint64_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", double(bytes) / 1024);
    return text;
}

// Bytes sent, rate and time left on standard error, redrawn in place at
// most ten times a second; nothing when it is not a terminal.
class DownloadBar {
public:
    DownloadBar(std::ostream& err, bool shown, platform::Clock& clock)
        : m_err(err)
        , m_text(err, shown, clock, 0, kRedrawMicros)
    {
    }
    // What is left on the terminal: the bytes that went out and how long they took.
    ~DownloadBar()
    {
        if (!m_text.Shown())
            return;
        char took[32];
        std::snprintf(took, sizeof took, "%.2f", double(m_text.ShownAfterMicros()) / 1e6);
        m_text.Clear();
        m_err << m_sent << " bytes in " << took << " s\n" << std::flush;
    }
    void Show(uint64_t sent, uint64_t total)
    {
        if (!m_text.Due(sent >= total))
            return;
        const double seconds = double(m_text.ElapsedMicros()) / 1e6;
        const double rate = seconds > 0 ? double(sent) / seconds : 0;
        std::string text = BarOf(sent, total) + Kib(sent) + " of " + Kib(total) + " KiB  " + Kib(uint64_t(rate))
            + " KiB/s";
        if (rate > 0)
            text += "  " + std::to_string(int64_t(double(total - sent) / rate + 0.5)) + " s left";
        m_text.Show(text);
        m_sent = sent;
    }

private:
    static constexpr int64_t kRedrawMicros = 100000;
    std::ostream& m_err;
    LiveText m_text;
    uint64_t m_sent = 0;
};

} // namespace

bool FindFontImage(CommandContext& context, const FontChoice& font, const std::string& file, FontImage& image)
{
    ResourceFonts builtIn;
    std::string error;
    const bool found = file.empty() ? LoadFontImage(FontLocations::FromEnvironment(&builtIn), font, image, error)
                                    : LoadFontImageFile(file, image, error);
    if (!found)
        context.err << error << '\n' << kFontDownloadFailed << '\n';
    return found;
}

int SendFontImage(CommandContext& context, PrinterSession& session, FontImage image, bool json)
{
    platform::Clock& clock = context.platform.GetClock();
    CPrinterPort& port = session.Port();
    ProgressState progress;
    std::optional<FontDownloadOutcome> outcome;
    {
        DownloadBar bar(context.err, context.ProgressShown(), clock);
        FontDownload download(port, clock, progress, std::move(image));
        outcome = RunFontDownload(download, clock, [&] { bar.Show(download.Sent(), download.Total()); });
    }
    const auto report = [&](bool whole, const std::string& message) {
        if (json)
            PrintJson(context.out, Json{{"sent", outcome->sent}, {"total", outcome->total}, {"whole", whole},
                                        {"message", message}});
        else if (whole)
            context.out << message << '\n';
    };
    // A short last write leaves the font as incomplete as a failed one.
    if (!outcome->Succeeded() || outcome->sent < outcome->total) {
        report(false, kFontDownloadFailed);
        if (outcome->end == FontDownloadEnd::FinalWriteFailed)
            context.err << kFontFinalWriteFailed << '\n';
        context.err << kFontDownloadFailed << '\n' << PartialFontMessage(*outcome, kSendAgain) << '\n';
        if (const std::string reason = port.FailureText(); !reason.empty())
            context.err << reason << '\n';
        return kExitFailed;
    }
    DrainAfterFontDownload(port, clock, session.Interface());
    StatusRecord record;
    PrinterFacts facts;
    StatusExchange({port, session.Interface(), clock, context.platform.Messages(), progress, record, facts, nullptr})
        .ReadFirmwareAndLanguage();
    report(true, kFontDownloadSucceeded);
    return kExitOk;
}

const char* DownloadFontCommand::Description() const
{
    return "Sends the image of a downloadable double-byte font (CHOICE: 2 \"KS5601(Korean)\",\n"
           "3 \"GB2312(Simplified Chinese)\", 4 \"BIG5(Traditional Chinese)\",\n"
           "5 \"BIG5_Serif[Chinese ]\", 6 \"SHIFT-JIS(Japanese)\", by number or text) as Set\n"
           "Status does: 64 bytes, then 4096-byte blocks 20 ms apart. The image\n"
           "font-NNN.bin is looked for in $KALO_FONT_DIR alone when set, else among the\n"
           "images built in, then in ~/.local/share/kalo/fonts and the install's\n"
           "share/kalo/fonts; it is checked before anything is sent. The printer reboots\n"
           "with the new font. Exit status 0 only when every byte went out.\n";
}

std::vector<const OptionInfo*> DownloadFontCommand::Options() const
{
    return Infos(DownloadFontTable());
}

int DownloadFontCommand::Prepare(CommandContext& context)
{
    DownloadFontRequest request;
    if (!TakeArguments(context, DownloadFontTable(), request))
        return kExitUsage;
    OptionValue choice;
    std::string refusal;
    if (!Choices().Take(context.args.front(), choice, refusal)) {
        context.err << "kaloctl " << Name() << ": CHOICE " << refusal << "\nTry 'kaloctl " << Name()
                    << " --help'.\n";
        return kExitUsage;
    }
    m_json = request.json;
    m_image = FontImage();
    if (!FindFontImage(context, kFontChoices[choice.number], request.file, m_image))
        return kExitFailed;
    return kOpenPrinter;
}

int DownloadFontCommand::Run(CommandContext& context, PrinterSession& session)
{
    return SendFontImage(context, session, std::move(m_image), m_json);
}

} // namespace kalo::cli
