#pragma once

#include "Option.h"

#include <functional>
#include <string>
#include <vector>

namespace kalo::cli {

// A command as completion sees it: its name and its own options.
struct CompletionCommand {
    std::string name;
    std::vector<const OptionInfo*> options;
};

// What kaloctl's command line is made of, as completion sees it.
struct CompletionSources {
    // The connection and trace options, taken before and after the command.
    std::vector<const OptionInfo*> anywhere;
    std::vector<CompletionCommand> commands;
    std::vector<std::string> globalOptions; // taken only before a command
    // The printers --usb-device takes: list-usb's entries and serial numbers.
    std::function<std::vector<std::string>()> usbDevices;
    // The device paths --serial and --parallel take beside their port names.
    std::function<std::vector<std::string>()> serialDevices;
    std::function<std::vector<std::string>()> parallelDevices;
};

// What may stand as words[current] (words[0] being the program), given the
// words before it as bash splits the line: the commands, the options of the
// command named (connection options included) or the values of the option
// just before. Those that begin with what is typed there (in any case, a
// quote opening it left aside), each quoted for the shell when it has to be.
// None for a file name or free text, which bash completes itself.
std::vector<std::string> CompletionCandidates(const CompletionSources& sources, const std::vector<std::string>& words,
                                              size_t current);

// The text as one shell word: as it is when it is plain, else in single quotes.
std::string ShellQuoted(const std::string& text);

} // namespace kalo::cli
