#include "CommandSnippets.h"

#include "HexText.h"
#include "port/CodePageTable.h"
#include "port/PrinterCommands.h"

namespace kalo {

std::string SnippetText(Snippet snippet)
{
    switch (snippet) {
    case Snippet::FontA: return HexText(cmd::kFontA);
    case Snippet::FontB: return HexText(cmd::kFontB);
    case Snippet::BoldOn: return HexText(cmd::kBoldOn);
    case Snippet::BoldOff: return HexText(cmd::kBoldOff);
    case Snippet::UnderlineOn: return HexText(cmd::kUnderlineOn);
    case Snippet::UnderlineOff: return HexText(cmd::kUnderlineOff);
    case Snippet::LeftAlignment: return HexText(cmd::kAlignLeft);
    case Snippet::CenterAlignment: return HexText(cmd::kAlignCenter);
    case Snippet::RightAlignment: return HexText(cmd::kAlignRight);
    case Snippet::PaperCut: return HexText(cmd::kFeedAndCut);
    case Snippet::Feed: return HexText(cmd::kLineFeed);
    case Snippet::OpenDrawer1: return HexText(cmd::kOpenDrawer1);
    case Snippet::OpenDrawer2: return HexText(cmd::kOpenDrawer2);
    }
    return std::string();
}

std::string LineSpacingSnippet(bool useDefault, uint8_t units)
{
    return useDefault ? HexText(cmd::kDefaultLineSpacing) : HexText(cmd::LineSpacing(units));
}

std::string CodePageSnippet(int position)
{
    if (position < 0 || position >= int(kCodePageTable.size()))
        return std::string();
    return HexText(cmd::SelectCodeTable(kCodePageTable[size_t(position)].code));
}

std::string NvImageSnippet(const std::string& imageText)
{
    const cmd::Command<4> command = cmd::PrintNvImage(0);
    // The number goes in as typed: the text is the user's, read later like any other pair.
    std::string text = HexText(command.data(), 2) + imageText + " ";
    AppendHexText(text, command.data() + 3, 1);
    return text;
}

} // namespace kalo
