#pragma once

#include "platform/PortMap.h"
#include "platform/Spooler.h"

#include <map>
#include <string>

namespace kalo {

// What a queue "prints to", in the program's port terms: "COM3:" or "LPT1:"
// for the device that the port map gives for that port, the device path
// for a serial or parallel device no port maps to, "USB001" for a USB
// printer, "IP_<host>" for a network printer, "FILE:" for a queue that
// discards its jobs, and the URI itself when none of these fits.
std::string PortTextOf(const std::string& deviceUri, const platform::PortMap& ports);

// Where a redirected queue prints: nowhere, its jobs complete and vanish.
extern const char kDiscardUri[];

// Queue name -> the device URI it had before it was redirected.
using SavedPrinterPorts = std::map<std::string, std::string>;

// Points every local queue whose port text contains portName (case-sensitive,
// so "COM1" also matches "COM10:"), or is the device path portName, at kDiscardUri, keeping its old URI in
// saved. Silent on every failure.
void RedirectSpoolerQueues(platform::Spooler& spooler, const platform::PortMap& ports, const std::string& portName,
                           SavedPrinterPorts& saved);

// The name of a local queue for portName (as RedirectSpoolerQueues finds
// them) that is printing a job now; empty when none is, or the spooler
// cannot be asked. Nothing is changed.
std::string QueuePrintingOn(platform::Spooler& spooler, const platform::PortMap& ports, const std::string& portName);

// Gives every saved queue its old URI back and empties saved.
void RestoreSpoolerQueues(platform::Spooler& spooler, SavedPrinterPorts& saved);

} // namespace kalo
