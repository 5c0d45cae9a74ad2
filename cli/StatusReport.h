#pragma once

#include "status/PrinterFacts.h"
#include "status/Profile.h"
#include "status/StatusExchange.h"
#include "status/StatusRecord.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <vector>

namespace kalo::cli {

using Json = nlohmann::ordered_json;

// A document as kaloctl prints it: two-space indented, a line break after;
// text a printer sent that is not UTF-8 is printed, never refused.
void PrintJson(std::ostream& out, const Json& document);
// A USB id as the number its hexadecimal text writes ("7a3c" is 31292); null
// off USB or for text that is no such number.
Json UsbIdNumber(const std::string& hex);

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

// Differences as lines, "switch 6 pin 2 ([PIN 2] Auto Internal buzzer control): off -> on" or
// "code-page: PC437 (USA, Standard Europe) -> Katakana".
void PrintDifferences(std::ostream& out, const std::vector<StatusDifference>& differences);
// One of those lines, without its line break.
std::string DifferenceText(const StatusDifference& difference);
// Differences as a JSON array: {"switch", "pin", "label", "from", "to"} or {"setting", "from", "to"}.
Json DifferencesJson(const std::vector<StatusDifference>& differences);

} // namespace kalo::cli
