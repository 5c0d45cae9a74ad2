#pragma once

#include "app/SpoolerQueues.h"
#include "platform/Signals.h"

namespace kalo::cli {

// Frees a COM or LPT port from the print spooler for as long as it lives.
// Interrupts wait until the queues have their devices back: a queue left on
// file:///dev/null would silently swallow the office's printing.
class SpoolerHold {
public:
    SpoolerHold(platform::Spooler& spooler, const platform::PortMap& ports, const std::string& portName);
    ~SpoolerHold();
    SpoolerHold(const SpoolerHold&) = delete;
    SpoolerHold& operator=(const SpoolerHold&) = delete;

private:
    // Before the queues are touched, and until they are given back.
    platform::DeferredTerminationSignals m_deferred;
    platform::Spooler& m_spooler;
    SavedPrinterPorts m_saved;
};

} // namespace kalo::cli
