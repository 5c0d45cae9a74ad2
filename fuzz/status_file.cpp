// A .sts file's bytes, through what Load Status and show-sts do with them.
#include "cli/StatusReport.h"
#include "status/MemSwitchForm.h"
#include "status/PrinterSettingForm.h"
#include "status/StatusFile.h"

#include <algorithm>
#include "FuzzTarget.h"
#include <cstring>
#include <sstream>

using namespace kalo;

void kalo::fuzz::Fuzz(const uint8_t* data, size_t size)
{
    StatusRecord record;
    StatusFile::Decode(data, size, record);

    std::ostringstream out;
    const std::vector<int> fileSlots = {0, 1, 6, 7};
    cli::PrintStatusText(out, record, nullptr, fileSlots);
    cli::PrintStatusJson(out, record, nullptr, fileSlots);

    PrinterSettingForm setting;
    setting.record = &record;
    setting.InitDialog();
    setting.hasStatus = true;
    setting.RefreshSettingPage(true);
    MemSwitchForm switches;
    switches.record = &record;
    switches.hasStatus = true;
    for (int page = 1; page <= MemSwitchForm::kShownPages; ++page)
        switches.ShowSwitch(page, true);

    // Saving what was loaded gives back the file's switches 1, 2, 11, 12 and
    // font choice byte for byte (a short file as if padded with zeros).
    uint8_t loaded[StatusFile::kSize] = {};
    std::memcpy(loaded, data, std::min(size, StatusFile::kSize));
    uint8_t saved[StatusFile::kSize];
    StatusFile::Encode(record, saved);
    for (const int slot : fileSlots) {
        AbortIf(std::memcmp(loaded + slot * 36, saved + slot * 36, 36) != 0);
    }
    AbortIf(std::memcmp(loaded + 288, saved + 288, 4) != 0);
}
