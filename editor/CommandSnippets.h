#pragma once

#include <cstdint>
#include <string>

namespace kalo {

// The Command Test Editor's ready-made commands, as the hexadecimal text it
// appends: pairs separated by single spaces, ending in a space, so snippets
// appended one after another stay apart.
enum class Snippet {
    FontA,
    FontB,
    BoldOn,
    BoldOff,
    UnderlineOn,
    UnderlineOff,
    LeftAlignment,
    CenterAlignment,
    RightAlignment,
    PaperCut,
    Feed,
    OpenDrawer1,
    OpenDrawer2,
};

std::string SnippetText(Snippet snippet);

// "1b 32 " for the default spacing, else "1b 33 " and the units.
std::string LineSpacingSnippet(bool useDefault, uint8_t units);
// "1b 74 " and the code of the code page at this position of the list.
std::string CodePageSnippet(int position);
// "1c 70 ", the image number as the user typed it, unchecked, then " 00 ".
std::string NvImageSnippet(const std::string& imageText);

} // namespace kalo
