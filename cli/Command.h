#pragma once

#include "ConnectionOptions.h"
#include "app/CRegistryKey.h"
#include "platform/Platform.h"
#include "platform/Spooler.h"

#include <ostream>
#include <string>
#include <vector>

namespace kalo::cli {

enum ExitStatus { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// What a command runs with: its own arguments (connection options already
// taken out), the connection, the streams to write to and the platform.
struct CommandContext {
    std::vector<std::string> args;
    ConnectionOptions connection;
    std::ostream& out;
    std::ostream& err;
    platform::Platform& platform;
    platform::Spooler& spooler;
    const CRegistryKey& registry;
};

class Command {
public:
    virtual ~Command() = default;
    virtual const char* Name() const = 0;
    virtual const char* Summary() const = 0;
    // The command's own part of its --help text.
    virtual const char* Help() const = 0;
    virtual int Execute(CommandContext& context) = 0;
};

} // namespace kalo::cli
