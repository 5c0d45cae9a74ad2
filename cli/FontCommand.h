#pragma once

#include "Command.h"
#include "PrinterCommand.h"
#include "status/FontImage.h"

namespace kalo::cli {

// Sends a double-byte font image to the printer, as Set Status does after
// choosing a downloadable font.
class DownloadFontCommand final : public PrinterCommand {
public:
    const char* Name() const override { return "download-font"; }
    const char* Summary() const override { return "send a double-byte font image to the printer"; }
    const char* Description() const override;
    std::vector<const OptionInfo*> Options() const override;
    const char* Operands() const override { return "CHOICE"; }

protected:
    int Prepare(CommandContext& context) override;
    int Run(CommandContext& context, PrinterSession& session) override;

private:
    FontImage m_image; // found and checked before the printer is opened
    bool m_json = false;
};

// The image of a font from the font folders, or the file given; on failure
// the reason and "Fail to download Font!" go to standard error.
bool FindFontImage(CommandContext& context, const FontChoice& font, const std::string& file, FontImage& image);

// Sends the image over the session's port with the window's pacing, a
// progress bar on a terminal, then lets the printer settle and reads its
// firmware. Exit status 0 only when every byte went out.
int SendFontImage(CommandContext& context, PrinterSession& session, FontImage image, bool json = false);

} // namespace kalo::cli
