// A .sts file's bytes, through what Load Status and show-sts do with them.
#include "cli/StatusReport.h"
#include "status/MemSwitchForm.h"
#include "status/PrinterSettingForm.h"
#include "status/StatusFile.h"

#include <sstream>

using namespace kalo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
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

    uint8_t saved[StatusFile::kSize];
    StatusFile::Encode(record, saved);
    return 0;
}
