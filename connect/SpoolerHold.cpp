#include "SpoolerHold.h"

#include "ConnectionForm.h"

namespace kalo {

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

} // namespace kalo
