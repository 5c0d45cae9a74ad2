#pragma once

#include "Command.h"

#include <memory>

namespace kalo::cli {

// The command line front end: picks the command, takes out the connection
// options, runs it. Writes only to the streams it is given; reads in, or
// standard input when none is given; live, when given, is standard output
// unbuffered by the caller.
class Kaloctl {
public:
    Kaloctl();
    int Run(std::vector<std::string> args, std::ostream& out, std::ostream& err, platform::Platform& platform,
            platform::Spooler& spooler, const CRegistryKey& registry, std::istream* in = nullptr,
            std::ostream* live = nullptr);

private:
    void PrintHelp(std::ostream& out) const;
    int Complete(const std::vector<std::string>& args, std::ostream& out, platform::Platform& platform) const;
    Command* Find(const std::string& name) const;

    std::vector<std::unique_ptr<Command>> m_commands;
};

} // namespace kalo::cli
