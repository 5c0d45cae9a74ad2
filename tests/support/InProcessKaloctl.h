#pragma once

#include "cli/Kaloctl.h"
#include "sim/MemorySpooler.h"
#include "sim/InProcessPlatform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace kalo::test {

struct KaloRun {
    int status;
    std::string out, err;
};

// What a run is given besides the machine: no print queue and no registry
// file unless named; err, when named, takes standard error instead of the result.
struct KaloctlWith {
    sim::MemorySpooler* spooler = nullptr;
    const CRegistryKey* registry = nullptr;
    std::istream* in = nullptr;
    std::ostream* err = nullptr;
};

// kaloctl run in this process against the in-process machine.
inline KaloRun RunKaloctl(const std::vector<std::string>& args, sim::InProcessPlatform& machine,
                          const KaloctlWith& with = {})
{
    std::ostringstream out, err;
    sim::MemorySpooler noQueues;
    const CRegistryKey noRegistry;
    const int status = cli::Kaloctl().Run(args, out, with.err ? *with.err : err, machine,
                                          with.spooler ? *with.spooler : noQueues,
                                          with.registry ? *with.registry : noRegistry, with.in);
    return {status, out.str(), err.str()};
}

inline std::string Replace(std::string text, const std::string& what, const std::string& with)
{
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size())
        text.replace(at, what.size(), with);
    return text;
}

inline std::vector<std::string> Replace(std::vector<std::string> words, const std::string& what,
                                        const std::string& with)
{
    for (std::string& word : words)
        word = Replace(word, what, with);
    return words;
}

// Every byte the machine's last link carried to the printer, in order.
inline std::string Sent(const sim::InProcessPlatform& machine)
{
    std::string sent;
    if (machine.lastLink) {
        for (const auto& chunk : machine.lastLink->Written())
            sent.append(chunk.bytes.begin(), chunk.bytes.end());
    }
    return sent;
}

inline size_t Occurrences(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// name in a folder of this test program's own, removed when the program ends.
inline std::string Scratch(const std::string& name)
{
    static const std::string& folder = *new std::string([] {
        const std::string path = ::testing::TempDir() + "kalo-test-" + std::to_string(::getpid()) + "/";
        std::filesystem::create_directories(path);
        std::atexit([] { std::filesystem::remove_all(Scratch("")); });
        return path;
    }());
    return folder + name;
}

} // namespace kalo::test
