#include "FontImage.h"

#include "platform/Files.h"

#include <cstdlib>

namespace kalo {

const FontChoice kFontChoices[5] = {
    {2, "KS5601(Korean)", 144, 615695},
    {3, "GB2312(Simplified Chinese)", 142, 615695},
    {4, "BIG5(Traditional Chinese)", 141, 1025807},
    {5, "BIG5_Serif[Chinese ]", 161, 1025807},
    {6, "SHIFT-JIS(Japanese)", 143, 843791},
};

const FontChoice* FindFontChoice(int choice)
{
    for (const FontChoice& font : kFontChoices) {
        if (font.choice == choice)
            return &font;
    }
    return nullptr;
}

std::string FontImageName(int image)
{
    return "font-" + std::to_string(image) + ".bin";
}

namespace {

const uint8_t kHeader[5] = {0x1C, 0x6C, 0x64, 0x73, 0x58};

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Join(const std::string& folder, const std::string& name)
{
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool ReadImage(const std::string& path, FontImage& image, std::string& error)
{
    std::string bytes;
    if (!platform::ReadFile(path, kMaxFontImageBytes, bytes, error))
        return false;
    std::string problem;
    if (!CheckFontImage(bytes, problem)) {
        error = "Font image " + path + " is damaged: " + problem + ".";
        return false;
    }
    image.bytes = std::move(bytes);
    image.origin = path;
    return true;
}

} // namespace

FontLocations FontLocations::FromEnvironment(BuiltInFonts* builtIn)
{
    FontLocations locations;
    locations.fontDir = Environment("KALO_FONT_DIR");
    if (!locations.fontDir.empty())
        return locations;
    locations.builtIn = builtIn;
    std::string dataHome = Environment("XDG_DATA_HOME");
    if (dataHome.empty() && !Environment("HOME").empty())
        dataHome = Environment("HOME") + "/.local/share";
    if (!dataHome.empty())
        locations.folders.push_back(Join(dataHome, "kalo/fonts"));
    locations.folders.push_back(KALO_FONT_INSTALL_DIR);
    return locations;
}

bool CheckFontImage(const std::string& bytes, std::string& problem)
{
    if (bytes.size() < kFontHeaderBytes) {
        problem = "it holds " + std::to_string(bytes.size()) + " bytes, fewer than its 9-byte header";
        return false;
    }
    for (size_t i = 0; i < sizeof kHeader; ++i) {
        if (uint8_t(bytes[i]) != kHeader[i]) {
            problem = "it does not begin with 1C 6C 64 73 58";
            return false;
        }
    }
    uint64_t count = 0;
    for (size_t i = 0; i < 4; ++i)
        count |= uint64_t(uint8_t(bytes[5 + i])) << (8 * i);
    const uint64_t after = bytes.size() - kFontHeaderBytes;
    if (count != after) {
        problem = "its header counts " + std::to_string(count) + " bytes after the first nine, but it holds "
            + std::to_string(after);
        return false;
    }
    return true;
}

bool LoadFontImage(const FontLocations& locations, const FontChoice& font, FontImage& image, std::string& error)
{
    const std::string name = FontImageName(font.image);
    std::vector<std::string> looked;
    std::vector<std::string> folders = locations.folders;
    if (!locations.fontDir.empty()) {
        folders = {locations.fontDir};
    } else if (locations.builtIn) {
        looked.push_back("the images built into the program");
        std::string bytes;
        if (locations.builtIn->Find(name, bytes)) {
            std::string problem;
            if (!CheckFontImage(bytes, problem)) {
                error = "Font image " + name + " built into the program is damaged: " + problem + ".";
                return false;
            }
            image.bytes = std::move(bytes);
            image.origin = name + " (built in)";
            return true;
        }
    }
    for (const std::string& folder : folders) {
        const std::string path = Join(folder, name);
        looked.push_back(folder);
        // A file that is there but cannot be used is reported as such, not
        // passed over for one further down the list.
        if (platform::PathExists(path))
            return ReadImage(path, image, error);
    }
    error = "Font image " + name + " for \"" + font.listText + "\" was not found; looked in ";
    for (size_t i = 0; i < looked.size(); ++i)
        error += (i == 0 ? "" : i + 1 == looked.size() ? " and " : ", ") + looked[i];
    error += ".";
    return false;
}

bool LoadFontImageFile(const std::string& path, FontImage& image, std::string& error)
{
    return ReadImage(path, image, error);
}

} // namespace kalo
