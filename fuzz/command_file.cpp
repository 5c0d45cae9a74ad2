// Any bytes as a command file, through the editor's Load and Save.
#include "editor/CommandFile.h"
#include "editor/HexText.h"
#include "platform/Files.h"

#include <algorithm>
#include "FuzzTarget.h"
#include <filesystem>
#include <random>
#include <string>

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

void kalo::fuzz::Fuzz(const uint8_t* data, size_t size)
{
    // Loading the file and reading the text back gives the file's bytes, and
    // saving that text gives the file again.
    std::string error;
    AbortIf(!platform::SaveFile(kScratch.path, data, size, error));
    std::string loaded;
    AbortIf(!CommandFile::Load(kScratch.path, loaded, error));
    const std::vector<uint8_t> back = ParseHexText(loaded);
    AbortIf(back.size() != size || !std::equal(back.begin(), back.end(), data));
    AbortIf(!CommandFile::Save(kScratch.path, loaded, error));
    std::string saved;
    AbortIf(!CommandFile::Read(kScratch.path, saved, error)
        || saved != Text(data, size));
}
