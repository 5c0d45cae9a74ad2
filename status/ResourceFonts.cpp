#include "ResourceFonts.h"

#include <algorithm>

namespace kalo {

bool ResourceFonts::Find(const std::string& name, std::string& bytes)
{
    for (const BuiltInFontImage* image = kBuiltInFontImages; image->name; ++image) {
        if (name != image->name)
            continue;
        // One byte past the limit, so the check sees an image too large.
        const size_t size = std::min(size_t(image->end - image->begin), kMaxFontImageBytes + 1);
        bytes.assign(reinterpret_cast<const char*>(image->begin), size);
        return true;
    }
    return false;
}

} // namespace kalo
