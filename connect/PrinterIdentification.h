#pragma once

#include "port/CPrinterPort.h"
#include "platform/Clock.h"
#include "platform/MessageSink.h"

#include <string>

namespace kalo {

// How Check Communication ended.
enum class ConnectOutcome {
    Connected,
    ConfigureFailed,
    OpenFailed,
    PortError,
    NoPrinterId,
    WrongMaker,
    WrongModel,
};

struct OutcomeMessage {
    const char* text;
    const char* caption;
    platform::MessageIcon icon;
};

// The message box that tells the technician about an outcome.
const OutcomeMessage& MessageFor(ConnectOutcome outcome);

struct IdentifyResult {
    ConnectOutcome outcome = ConnectOutcome::ConfigureFailed;
    std::string maker; // as received, "_" dropped on byte-wise links
    std::string model;
    // Why the port failed, for the outcomes a port failure causes (configure,
    // open, the initialise write); empty for the others.
    platform::Failure failure;
    bool Connected() const { return outcome == ConnectOutcome::Connected; }
};

// Asks the printer on an open port who it is and accepts only the maker's
// supported models. interfaceKind is the interface the technician chose
// (it decides between byte-wise and block reads). On any refusal the port is
// closed; on success it stays open.
IdentifyResult IdentifyPrinter(CPrinterPort& port, PortKind interfaceKind, platform::Clock& clock);

// Configures and opens the port from the settings, then identifies the printer.
IdentifyResult ConnectPrinter(CPrinterPort& port, const PortSettings& settings, PortKind interfaceKind,
                              platform::Clock& clock);

} // namespace kalo
