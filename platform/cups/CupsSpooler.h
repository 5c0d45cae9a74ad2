#pragma once

#include "../Spooler.h"

namespace kalo::platform {

// The CUPS scheduler named by CUPS_SERVER (or the system's), over IPP.
// Listing works for any user; changing a queue needs a member of CUPS's
// system group on the local socket.
class CupsSpooler final : public Spooler {
public:
    bool ListQueues(std::vector<SpoolerQueue>& queues) override;
    bool GetDeviceUri(const std::string& queue, std::string& uri) override;
    bool SetDeviceUri(const std::string& queue, const std::string& uri) override;
};

} // namespace kalo::platform
