#pragma once

#include "ModelTable.h"
#include "platform/Failure.h"
#include "platform/Platform.h"

#include <ostream>
#include <string>
#include <vector>

namespace kalo {

// A family printer found on USB: the port-list entry ("742plusII:" and the
// device path), its model row and what the system lists for it.
struct UsbPrinterEntry {
    std::string text;
    const ModelInfo* model = nullptr;
    platform::UsbPrinterInfo device;
};

// A device the walk could not open, and what the system said.
struct UsbPrinterRefusal {
    platform::UsbPrinterInfo device;
    platform::Failure failure;
};

struct UsbPrinterSearch {
    std::vector<UsbPrinterEntry> printers;
    std::vector<UsbPrinterRefusal> refused;
    // The index at which the list ran out; -1 when the walk stopped at the
    // end of a block because a device had been found by then.
    long endIndex = -1;
};

// "NODE?vid_VVVV&pid_PPPP&serial=SERIAL", the ids as the device reports them.
std::string UsbDevicePath(const platform::UsbPrinterInfo& device);

// The node a device path opens: the text before its '?'.
std::string UsbDeviceNode(const std::string& devicePath);

// The family's model whose product id a device path carries beside the
// family's vendor id; null for any other device.
const ModelInfo* UsbFamilyModel(const std::string& devicePath);

// Walks the platform's USB printer-class devices in blocks ending after
// index 7, 15, 31, ..., opening each to see that it can be used, and keeps
// the family's printers in that order. Writes "Attempting to open" and
// "FAILED to open" lines for each device to diagnostics.
UsbPrinterSearch FindUsbPrinters(platform::Platform& platform, std::ostream& diagnostics);

} // namespace kalo
