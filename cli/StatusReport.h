#pragma once

#include "status/PrinterFacts.h"
#include "status/StatusRecord.h"

#include <ostream>
#include <vector>

namespace kalo::cli {

// A status as a technician reads it: every pin with its label and its
// choice's text, the settings by their list texts, the power-save values.
// facts may be null (a status file has none); slots says which switches to show.
void PrintStatusText(std::ostream& out, const StatusRecord& record, const PrinterFacts* facts,
                     const std::vector<int>& slots);
void PrintStatusJson(std::ostream& out, const StatusRecord& record, const PrinterFacts* facts,
                     const std::vector<int>& slots);

} // namespace kalo::cli
