#pragma once

#include <string>

namespace kalo {

// What the printer says about itself and its power-save settings: fields of
// the Printer Setting page that the status exchanges write.
struct PrinterFacts {
    std::string firmwareVersion; // once set, the model is not asked again
    std::string modelName;
    std::string language;
    int powerSaveMode = -1;      // 0 disabled, 1 enabled, -1 none
    int entranceTime = 0;        // seconds; the printer takes 6..255
    // The last power-save read got no whole reply: the mode and time above
    // are not the printer's, so Set Status leaves its power save alone.
    bool powerSaveUnanswered = false;
};

} // namespace kalo
