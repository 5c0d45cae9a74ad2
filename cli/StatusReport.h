#pragma once

#include "status/PrinterFacts.h"
#include "status/StatusExchange.h"
#include "status/StatusRecord.h"

#include <ostream>
#include <string>
#include <vector>

namespace kalo::cli {

// text as a JSON string, quotes included.
std::string Json(const std::string& text);

// A status as a technician reads it: every pin with its label and its
// choice's text, the settings by their list texts, the power-save values.
// facts may be null (a status file has none); slots says which switches to show.
// A read's report, when given, says which replies did not come: their rows
// read "No Change", the power-save values read as unknown, and the JSON lists
// them under "missing".
void PrintStatusText(std::ostream& out, const StatusRecord& record, const PrinterFacts* facts,
                     const std::vector<int>& slots, const StatusReadReport* report = nullptr);
void PrintStatusJson(std::ostream& out, const StatusRecord& record, const PrinterFacts* facts,
                     const std::vector<int>& slots, const StatusReadReport* report = nullptr);

} // namespace kalo::cli
