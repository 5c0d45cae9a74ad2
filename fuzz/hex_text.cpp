// Typed command text through the editor's reader.
#include "editor/HexText.h"

#include "FuzzTarget.h"

using namespace kalo;

void kalo::fuzz::Fuzz(const uint8_t* data, size_t size)
{
    const std::string text = Text(data, size);
    const std::vector<uint8_t> bytes = ParseHexText(text);
    // Every pair is two characters, so there are never more bytes than that.
    AbortIf(bytes.size() > (size + 1) / 2);
    // What the editor shows for bytes reads back as the same bytes.
    AbortIf(ParseHexText(HexText(bytes.data(), bytes.size())) != bytes);
}
