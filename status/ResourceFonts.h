#pragma once

#include "FontImage.h"

namespace kalo {

// The font images built into the program from resources/fonts/ (none when
// that folder was empty at build time).
class ResourceFonts final : public BuiltInFonts {
public:
    bool Find(const std::string& name, std::string& bytes) override;
};

// A built-in image: its file name and bytes.
struct BuiltInFontImage {
    const char* name;
    const unsigned char* begin;
    const unsigned char* end;
};
// Generated at build time from the font folder; a null name ends it.
extern const BuiltInFontImage kBuiltInFontImages[];

} // namespace kalo
