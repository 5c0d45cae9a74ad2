#include "UsbPrinterSearch.h"

#include "platform/UsbPrinterDevice.h"

namespace kalo {

namespace {

// The longest device path the program holds; longer ones are refused whole
// rather than cut to a path that might open another device.
constexpr size_t kMaxDevicePath = 255;

bool ProbeUsbDevice(platform::Platform& platform, const std::string& path, std::ostream& diagnostics)
{
    diagnostics << "Attempting to open " << path << "\n";
    bool opened = false;
    if (path.size() <= kMaxDevicePath) {
        auto device = platform.NewUsbPrinterDevice();
        opened = device->Open(UsbDeviceNode(path)) == platform::kOk;
        device->Close();
    }
    if (!opened)
        diagnostics << "FAILED to open " << path << "\n";
    diagnostics.flush();
    return opened;
}

const ModelInfo* FamilyModel(const std::string& path)
{
    if (path.find(kUsbVendorId) == std::string::npos)
        return nullptr;
    for (const ModelInfo& model : kModels) {
        if (path.find(model.usbProductId) != std::string::npos)
            return &model;
    }
    return nullptr;
}

} // namespace

std::string UsbDevicePath(const platform::UsbPrinterInfo& device)
{
    return device.node + "?vid_" + device.vendorId + "&pid_" + device.productId + "&serial=" + device.serial;
}

std::string UsbDeviceNode(const std::string& devicePath)
{
    return devicePath.substr(0, devicePath.find('?'));
}

UsbPrinterSearch FindUsbPrinters(platform::Platform& platform, std::ostream& diagnostics)
{
    UsbPrinterSearch search;
    const std::vector<platform::UsbPrinterInfo> devices = platform.ListUsbPrinters();
    const bool listed = !platform::IsWin9xFamily(platform.VersionWord());
    bool found = false;
    size_t blockEnd = 7;
    for (size_t index = 0;; ++index) {
        if (index >= devices.size()) {
            search.endIndex = long(index);
            break;
        }
        const std::string path = UsbDevicePath(devices[index]);
        if (ProbeUsbDevice(platform, path, diagnostics)) {
            found = true;
            if (const ModelInfo* model = listed ? FamilyModel(path) : nullptr)
                search.printers.push_back({std::string(model->shortName) + ":" + path, model, devices[index]});
        }
        if (index == blockEnd) {
            if (found)
                break;
            blockEnd = blockEnd * 2 + 1;
        }
    }
    return search;
}

} // namespace kalo
