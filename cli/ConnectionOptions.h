#pragma once

#include "cli/options/Option.h"
#include "connect/Connection.h"

#include <ostream>
#include <string>
#include <vector>

namespace kalo::cli {

// Reads the connection options args holds, in order; args holds nothing
// else. False with the message for an option refused.
bool ExtractConnectionOptions(std::vector<std::string>& args, ConnectionOptions& options, std::string& error);

// The connection options as --help shows them.
void PrintConnectionOptions(std::ostream& out);
// The connection options' table, for completion.
std::vector<const OptionInfo*> ConnectionOptionInfos();

} // namespace kalo::cli
