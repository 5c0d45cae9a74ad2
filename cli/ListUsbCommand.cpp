#include "ListUsbCommand.h"

#include "StatusReport.h"
#include "platform/Text.h"
#include "port/UsbPrinterSearch.h"

#include <sstream>

namespace kalo::cli {

namespace {

struct ListUsbRequest {
    bool json = false;
};

const OptionTable<ListUsbRequest>& ListUsbTable()
{
    static const OptionTable<ListUsbRequest> table = {
        {{"--json", "", "print them as one JSON array", OptionValues::None()},
         [](ListUsbRequest& r, const OptionValue&) { r.json = true; }},
    };
    return table;
}

void PrintPrinters(std::ostream& out, const std::vector<UsbPrinterEntry>& printers)
{
    Json list = Json::array();
    for (const UsbPrinterEntry& p : printers)
        list.push_back({{"entry", p.text}, {"model", p.model->modelName}, {"node", p.device.node},
                        {"vendorId", UsbIdNumber(p.device.vendorId)}, {"productId", UsbIdNumber(p.device.productId)},
                        {"serial", p.device.serial}});
    PrintJson(out, list);
}

} // namespace

const char* ListUsbCommand::Description() const
{
    return "Lists the printers of the family attached by USB, one a line: the entry as\n"
           "the main window's port list shows it, a tab, and the printer's USB serial\n"
           "number (empty when it has none). Either may be given to --usb-device.\n"
           "Standard error has the devices tried and those that could not be opened.\n";
}

std::vector<const OptionInfo*> ListUsbCommand::Options() const
{
    return Infos(ListUsbTable());
}

int ListUsbCommand::Execute(CommandContext& context)
{
    ListUsbRequest request;
    if (!TakeArguments(context, ListUsbTable(), request))
        return kExitUsage;
    std::ostringstream unshown;
    const UsbPrinterSearch search = FindUsbPrinters(context.platform, context.quiet ? unshown : context.err);
    // A printer the user may not open is left out of the list; say which
    // nodes those were, with what grants access to the family's printers.
    for (const UsbPrinterRefusal& refused : search.refused) {
        const ModelInfo* model = UsbFamilyModel(UsbDevicePath(refused.device));
        const std::string entry = model ? std::string(model->shortName) + ":" + UsbDevicePath(refused.device) : "";
        context.err << "kaloctl list-usb: " << platform::DescribeFailure(refused.failure, platform::Printable(entry)) << '\n';
    }
    if (request.json) {
        PrintPrinters(context.out, search.printers);
        return kExitOk;
    }
    for (const UsbPrinterEntry& printer : search.printers)
        context.out << platform::Printable(printer.text) << '\t' << platform::Printable(printer.device.serial) << '\n';
    return kExitOk;
}

} // namespace kalo::cli
