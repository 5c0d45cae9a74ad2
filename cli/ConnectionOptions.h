#pragma once

#include "cli/options/Option.h"
#include "connect/Connection.h"

#include <ostream>
#include <string>
#include <vector>

namespace kalo::cli {

// Reads the connection options args holds, in order; args holds nothing
// else. False with the message for an option refused. named tells whether
// a printer was named at all (the line settings alone name none).
bool ExtractConnectionOptions(std::vector<std::string>& args, ConnectionOptions& options, std::string& error,
                              bool* named = nullptr);

// The connection options as --help shows them.
void PrintConnectionOptions(std::ostream& out);
// The connection options' table, for completion.
std::vector<const OptionInfo*> ConnectionOptionInfos();

} // namespace kalo::cli
