#include "CupsSpooler.h"

#include <cups/cups.h>

namespace kalo::platform {

namespace {

// The local queues (no remote or implicit classes), with their device URIs.
bool FetchQueues(std::vector<SpoolerQueue>& queues)
{
    queues.clear();
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    static const char* const kAttributes[] = {"printer-name", "device-uri", "printer-type", "printer-state"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 4, nullptr, kAttributes);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    if (!response)
        return false;
    const bool ok = ippGetStatusCode(response) <= IPP_STATUS_OK_CONFLICTING;
    SpoolerQueue queue;
    bool remote = false;
    auto flush = [&] {
        if (!queue.name.empty() && !remote)
            queues.push_back(queue);
        queue = SpoolerQueue();
        remote = false;
    };
    for (ipp_attribute_t* a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
        const char* name = ippGetName(a);
        if (!name) {
            flush(); // a group separator ends one printer's attributes
            continue;
        }
        const std::string attribute = name;
        if (attribute == "printer-name")
            queue.name = ippGetString(a, 0, nullptr);
        else if (attribute == "device-uri")
            queue.deviceUri = ippGetString(a, 0, nullptr);
        else if (attribute == "printer-type")
            remote = (ippGetInteger(a, 0) & (CUPS_PRINTER_REMOTE | CUPS_PRINTER_IMPLICIT)) != 0;
        else if (attribute == "printer-state")
            queue.printing = ippGetInteger(a, 0) == IPP_PSTATE_PROCESSING;
    }
    flush();
    ippDelete(response);
    return ok;
}

} // namespace

bool CupsSpooler::ListQueues(std::vector<SpoolerQueue>& queues)
{
    return FetchQueues(queues);
}

bool CupsSpooler::GetDeviceUri(const std::string& queue, std::string& uri)
{
    std::vector<SpoolerQueue> queues;
    if (!FetchQueues(queues))
        return false;
    for (const SpoolerQueue& q : queues) {
        if (q.name == queue) {
            uri = q.deviceUri;
            return true;
        }
    }
    return false;
}

bool CupsSpooler::SetDeviceUri(const std::string& queue, const std::string& uri)
{
    char printerUri[1024];
    httpAssembleURIf(HTTP_URI_CODING_ALL, printerUri, sizeof printerUri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", queue.c_str());
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printerUri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, uri.c_str());
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/admin/");
    if (!response)
        return false;
    const bool ok = ippGetStatusCode(response) <= IPP_STATUS_OK_CONFLICTING;
    ippDelete(response);
    return ok;
}

} // namespace kalo::platform
