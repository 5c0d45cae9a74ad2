// Typed command text, and command files, through the editor's readers.
#include "editor/CommandFile.h"
#include "editor/HexText.h"
#include "platform/Files.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>

using namespace kalo;

namespace {

// One file for the whole run, in the fuzzer's own temporary folder.
const std::string& ScratchFile()
{
    static const std::string path = (std::filesystem::temp_directory_path()
                                     / ("kalo-fuzz-command-" + std::to_string(std::random_device{}()) + ".bin"))
                                        .string();
    return path;
}

} // namespace

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

    // The input as a command file: loading it and reading the text back
    // gives the file's bytes, and saving that text gives the file again.
    std::string error;
    if (!platform::SaveFile(ScratchFile(), data, size, error))
        std::abort();
    std::string loaded;
    if (!CommandFile::Load(ScratchFile(), loaded, error))
        std::abort();
    const std::vector<uint8_t> back = ParseHexText(loaded);
    if (back.size() != size || !std::equal(back.begin(), back.end(), data))
        std::abort();
    if (!CommandFile::Save(ScratchFile(), loaded, error))
        std::abort();
    std::string saved;
    if (!CommandFile::Read(ScratchFile(), saved, error) || saved != std::string_view(text))
        std::abort();
    return 0;
}
