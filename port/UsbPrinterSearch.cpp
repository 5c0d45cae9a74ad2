#include "UsbPrinterSearch.h"

#include "platform/Text.h"
#include "platform/UsbPrinterDevice.h"

namespace kalo {

namespace {

// The longest device path the program holds; longer ones are refused whole
// rather than cut to a path that might open another device.
constexpr size_t kMaxDevicePath = 255;

// Empty when the device opened; else why it did not.
platform::Failure ProbeUsbDevice(platform::Platform& platform, const std::string& path, std::ostream& diagnostics)
{
    diagnostics << "Attempting to open " << platform::Printable(path) << "\n";
    const std::string node = UsbDeviceNode(path);
    platform::Failure failure;
    if (path.size() > kMaxDevicePath) {
        failure = {"open", node, platform::kErrArgument, 0,
                   "the device path has more than " + std::to_string(kMaxDevicePath) + " characters"};
    } else {
        auto device = platform.NewUsbPrinterDevice();
        const platform::Result opened = device->Open(node);
        if (opened != platform::kOk)
            failure = device->LastFailure().Empty() ? platform::Failure{"open", node, opened, 0, "refused"}
                                                    : device->LastFailure();
        device->Close();
    }
    if (!failure.Empty())
        diagnostics << "FAILED to open " << platform::Printable(path) << "\n";
    diagnostics.flush();
    return failure;
}

} // namespace

const ModelInfo* UsbFamilyModel(const std::string& devicePath)
{
    if (devicePath.find(kUsbVendorId) == std::string::npos)
        return nullptr;
    for (const ModelInfo& model : kModels) {
        if (devicePath.find(model.usbProductId) != std::string::npos)
            return &model;
    }
    return nullptr;
}

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
        const platform::Failure failure = ProbeUsbDevice(platform, path, diagnostics);
        if (failure.Empty()) {
            found = true;
            if (const ModelInfo* model = listed ? UsbFamilyModel(path) : nullptr)
                search.printers.push_back({std::string(model->shortName) + ":" + path, model, devices[index]});
        } else {
            search.refused.push_back({devices[index], failure});
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
