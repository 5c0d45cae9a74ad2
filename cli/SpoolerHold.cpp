#include "SpoolerHold.h"

#include "app/ConnectionForm.h"

namespace kalo::cli {

SpoolerHold::SpoolerHold(platform::Spooler& spooler, const platform::PortMap& ports, const std::string& portName)
    : m_spooler(spooler)
{
    if (ConnectionForm::NeedsSpoolerRedirect(portName))
        RedirectSpoolerQueues(spooler, ports, portName, m_saved);
}

SpoolerHold::~SpoolerHold()
{
    RestoreSpoolerQueues(m_spooler, m_saved);
}

} // namespace kalo::cli
