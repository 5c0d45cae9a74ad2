#include "ListUsbCommand.h"

#include "StatusReport.h"
#include "port/UsbPrinterSearch.h"

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

void PrintJson(std::ostream& out, const std::vector<UsbPrinterEntry>& printers)
{
    out << '[';
    for (size_t i = 0; i < printers.size(); ++i) {
        const UsbPrinterEntry& p = printers[i];
        out << (i ? "," : "") << "\n  {\"entry\": " << Json(p.text)
            << ", \"model\": " << Json(std::string(p.model->modelName)) << ", \"node\": " << Json(p.device.node)
            << ", \"vendorId\": " << Json(p.device.vendorId) << ", \"productId\": " << Json(p.device.productId)
            << ", \"serial\": " << Json(p.device.serial) << '}';
    }
    out << (printers.empty() ? "]\n" : "\n]\n");
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
    const UsbPrinterSearch search = FindUsbPrinters(context.platform, context.err);
    // A printer the user may not open is left out of the list; say which
    // nodes those were, with what grants access to the family's printers.
    for (const UsbPrinterRefusal& refused : search.refused) {
        const ModelInfo* model = UsbFamilyModel(UsbDevicePath(refused.device));
        const std::string entry = model ? std::string(model->shortName) + ":" + UsbDevicePath(refused.device) : "";
        context.err << "kaloctl list-usb: " << platform::DescribeFailure(refused.failure, entry) << '\n';
    }
    if (request.json) {
        PrintJson(context.out, search.printers);
        return kExitOk;
    }
    for (const UsbPrinterEntry& printer : search.printers)
        context.out << printer.text << '\t' << printer.device.serial << '\n';
    return kExitOk;
}

} // namespace kalo::cli
