// Typed command text through the editor's reader.
#include "editor/HexText.h"

#include <cstdlib>
#include <string_view>

using namespace kalo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<uint8_t> bytes = ParseHexText(text);
    // Every pair is two characters, so there are never more bytes than that.
    if (bytes.size() > (size + 1) / 2)
        std::abort();
    // What the editor shows for bytes reads back as the same bytes.
    if (ParseHexText(HexText(bytes.data(), bytes.size())) != bytes)
        std::abort();
    return 0;
}
