// Any bytes as a command file, through the editor's Load and Save.
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

// One file for the whole run, in the fuzzer's own temporary folder, gone
// when the run ends.
const struct ScratchFile {
    std::string path = (std::filesystem::temp_directory_path()
                        / ("kalo-fuzz-command-" + std::to_string(std::random_device{}()) + ".bin"))
                           .string();
    ~ScratchFile() { std::filesystem::remove(path); }
} kScratch;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Loading the file and reading the text back gives the file's bytes, and
    // saving that text gives the file again.
    std::string error;
    if (!platform::SaveFile(kScratch.path, data, size, error))
        std::abort();
    std::string loaded;
    if (!CommandFile::Load(kScratch.path, loaded, error))
        std::abort();
    const std::vector<uint8_t> back = ParseHexText(loaded);
    if (back.size() != size || !std::equal(back.begin(), back.end(), data))
        std::abort();
    if (!CommandFile::Save(kScratch.path, loaded, error))
        std::abort();
    std::string saved;
    if (!CommandFile::Read(kScratch.path, saved, error)
        || saved != std::string_view(reinterpret_cast<const char*>(data), size))
        std::abort();
    return 0;
}
