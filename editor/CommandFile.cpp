#include "CommandFile.h"

#include "HexText.h"
#include "platform/Files.h"

namespace kalo {

std::string CommandFile::TooBig(const std::string& path, uint64_t size)
{
    return "Cannot load " + path + ": it is " + std::to_string(size) + " bytes; a command file may have at most "
        + std::to_string(kMaxBytes) + " bytes (1 MiB).";
}

bool CommandFile::Read(const std::string& path, std::string& bytes, std::string& error)
{
    bytes.clear();
    uint64_t size = 0;
    if (!platform::FileSize(path, size, error))
        return false;
    if (size > kMaxBytes) {
        error = TooBig(path, size);
        return false;
    }
    // A file that grew past the limit since it was measured is refused too.
    return platform::ReadFile(path, size_t(kMaxBytes), bytes, error);
}

bool CommandFile::Load(const std::string& path, std::string& text, std::string& error)
{
    text.clear();
    std::string bytes;
    if (!Read(path, bytes, error))
        return false;
    AppendHexText(text, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return true;
}

bool CommandFile::Save(const std::string& path, std::string_view text, std::string& error)
{
    const std::vector<uint8_t> bytes = ParseHexText(text);
    return platform::SaveFile(path, bytes.data(), bytes.size(), error);
}

} // namespace kalo
