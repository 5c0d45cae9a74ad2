#pragma once

#include "FontImage.h"

namespace kalo {

// The font images built into the program from resources/fonts/ (none when
// that folder was empty at build time).
class ResourceFonts final : public BuiltInFonts {
public:
    bool Find(const std::string& name, std::string& bytes) override;
};

} // namespace kalo
