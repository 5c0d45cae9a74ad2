#pragma once

#include "Command.h"

#include <memory>

namespace kalo::cli {

// The command line front end: reads the command line, picks the command and
// runs it with the connection and trace given. Writes only to the streams it is given; reads in, or
// standard input when none is given; live, when given, is standard output
// unbuffered by the caller.
class Kaloctl {
public:
    Kaloctl();
    int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, platform::Platform& platform,
            platform::Spooler& spooler, const CRegistryKey& registry, std::istream* in = nullptr,
            std::ostream* live = nullptr);

private:
    struct CommandLine {
        Command* command = nullptr;
        bool help = false;
        bool version = false;
        bool quiet = false;
        // The words of each kind of option in the order given, values included.
        std::vector<std::string> trace;
        std::vector<std::string> pace;
        std::vector<std::string> connection;
        std::vector<std::string> commandArgs; // the command's options and operands
    };
    bool Read(const std::vector<std::string>& args, CommandLine& line, std::string& error) const;
    void PrintHelp(std::ostream& out) const;
    int Complete(const std::vector<std::string>& args, std::ostream& out, platform::Platform& platform) const;
    Command* Find(const std::string& name) const;

    std::vector<std::unique_ptr<Command>> m_commands;
};

} // namespace kalo::cli
