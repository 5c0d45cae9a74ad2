#include "ListSerialCommand.h"

#include "StatusReport.h"
#include "platform/Text.h"

#include <cstdlib>

namespace kalo::cli {

namespace {

struct ListSerialRequest {
    bool json = false;
};

const OptionTable<ListSerialRequest>& ListSerialTable()
{
    static const OptionTable<ListSerialRequest> table = {
        {{"--json", "", "print them as one JSON array", OptionValues::None()},
         [](ListSerialRequest& r, const OptionValue&) { r.json = true; }},
    };
    return table;
}

} // namespace

const char* ListSerialCommand::Description() const
{
    return "Lists the serial devices present, one a line: the device path, a tab, and\n"
           "what the USB device behind it reports (maker, product, serial number),\n"
           "empty for a built-in port. The path may be given to --serial, as may a\n"
           "stable name under /dev/serial/by-id/.\n";
}

std::vector<const OptionInfo*> ListSerialCommand::Options() const
{
    return Infos(ListSerialTable());
}

int ListSerialCommand::Execute(CommandContext& context)
{
    ListSerialRequest request;
    if (!TakeArguments(context, ListSerialTable(), request))
        return kExitUsage;
    const std::vector<platform::DevicePathInfo> devices = context.platform.ListSerialDevices();
    if (request.json) {
        Json list = Json::array();
        for (const platform::DevicePathInfo& d : devices)
            list.push_back({{"path", d.path}, {"description", d.description}, {"vendorId", UsbIdNumber(d.vendorId)},
                            {"productId", UsbIdNumber(d.productId)}, {"serial", d.serial}});
        PrintJson(context.out, list);
        return kExitOk;
    }
    for (const platform::DevicePathInfo& device : devices)
        context.out << platform::Printable(device.path) << '\t' << platform::Printable(device.description) << '\n';
    return kExitOk;
}

} // namespace kalo::cli
