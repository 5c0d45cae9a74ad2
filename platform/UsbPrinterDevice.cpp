#include "UsbPrinterDevice.h"

namespace kalo::platform {

bool IsWin9xFamily(uint32_t versionWord)
{
    uint32_t build = 0;
    if (!(versionWord & 0x80000000u))
        build = versionWord >> 16;
    else if ((versionWord & 0xFFu) < 4)
        build = (versionWord >> 16) & 0x7FFFu;
    return build == 0;
}

} // namespace kalo::platform
