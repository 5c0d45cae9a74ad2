#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kalo {

// A downloadable double-byte font: its choice on the Printer Setting page,
// the image number it is sent from, and the size the printer maker ships.
struct FontChoice {
    int choice;
    const char* listText;
    int image;
    uint32_t size;
};

// The five downloadable fonts, in the order of their choices (2..6).
extern const FontChoice kFontChoices[5];
// The font of a choice; nullptr for 0, 1 and anything else.
const FontChoice* FindFontChoice(int choice);
// "font-142.bin"
std::string FontImageName(int image);

// The images the program carries inside itself, when any were built in.
class BuiltInFonts {
public:
    virtual ~BuiltInFonts() = default;
    // True with the bytes when an image of that name is built in.
    virtual bool Find(const std::string& name, std::string& bytes) = 0;
};

// Where font images are looked for. With fontDir set, there only; otherwise
// the built-in images, then each of folders in order.
struct FontLocations {
    std::string fontDir;
    BuiltInFonts* builtIn = nullptr;
    std::vector<std::string> folders;

    // KALO_FONT_DIR when set; else ${XDG_DATA_HOME:-~/.local/share}/kalo/fonts
    // and the install's share/kalo/fonts.
    static FontLocations FromEnvironment(BuiltInFonts* builtIn);
};

// An image checked and in memory, and where it came from (for messages).
struct FontImage {
    std::string bytes;
    std::string origin;
};

inline constexpr size_t kMaxFontImageBytes = 16u << 20;
inline constexpr size_t kFontHeaderBytes = 9;

// The header every image begins with: 1C 6C 64 73 58, then the count of the
// bytes after these nine as a little-endian uint32. False with what is wrong.
bool CheckFontImage(const std::string& bytes, std::string& problem);

// Finds and checks the image of a font. False with a message that names the
// file (or, when missing, where it was looked for) and what is wrong.
bool LoadFontImage(const FontLocations& locations, const FontChoice& font, FontImage& image, std::string& error);
// The same for an image the technician names.
bool LoadFontImageFile(const std::string& path, FontImage& image, std::string& error);

} // namespace kalo
