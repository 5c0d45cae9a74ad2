#pragma once

#include "SpoolerQueues.h"

namespace kalo {

// Frees a COM or LPT port from the print spooler for as long as it lives.
// An interrupted kaloctl ends the ordinary way, so the queues get their
// devices back here too: a queue left on file:///dev/null would silently
// swallow the office's printing.
class SpoolerHold {
public:
    SpoolerHold(platform::Spooler& spooler, const platform::PortMap& ports, const std::string& portName);
    ~SpoolerHold();
    SpoolerHold(const SpoolerHold&) = delete;
    SpoolerHold& operator=(const SpoolerHold&) = delete;

private:
    platform::Spooler& m_spooler;
    SavedPrinterPorts m_saved;
};

} // namespace kalo
