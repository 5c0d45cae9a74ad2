#include "SpoolerHold.h"

#include "app/ConnectionForm.h"

namespace kalo::cli {

SpoolerHold::SpoolerHold(platform::Spooler& spooler, const platform::PortMap& ports, const std::string& portName)
    : m_spooler(spooler)
{
    sigset_t deferred;
    sigemptyset(&deferred);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&deferred, signal);
    sigprocmask(SIG_BLOCK, &deferred, &m_previous);
    if (ConnectionForm::NeedsSpoolerRedirect(portName))
        RedirectSpoolerQueues(spooler, ports, portName, m_saved);
}

SpoolerHold::~SpoolerHold()
{
    RestoreSpoolerQueues(m_spooler, m_saved);
    sigprocmask(SIG_SETMASK, &m_previous, nullptr);
}

} // namespace kalo::cli
