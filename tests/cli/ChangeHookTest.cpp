// --on-change's runner with real programs and a short limit: what each run
// is given and what is told of it, in order, and how long a hanging one holds up the next.
#include "cli/ChangeHook.h"
#include "platform/Interruption.h"
#include "sim/InProcessPlatform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using namespace kalo;

TEST(ChangeHookTest, RunsEachChangeInOrderAndTellsWhatWentWrong)
{
    const std::string script = testing::TempDir() + "kalo-hook-" + std::to_string(getpid()) + ".sh";
    std::ofstream(script) << "#!/bin/sh\nprintf 'end %s' $1 >&2\necho \"$*|$KALO_NAME $KALO_URI $KALO_FROM $KALO_TO\"\n"
                             "[ $1 = hang ] && sleep 5\n[ $1 = fail ] && exit 3\nexit 0\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    const auto ran = [](const std::string& n) { return n + " u" + n + " ok out|" + n + " u" + n + " ok out"; };
    const std::string said = "kaloctl: on-change " + script + " for ", missing = "kalo-no-such-hook";
    const struct {
        std::string program;
        std::vector<std::string> names, lines;
        bool interrupt = false; // on the first line told
    } rows[] = {
        {script, {"a", "b", "c"}, {ran("a"), "end a", ran("b"), "end b", ran("c"), "end c"}},
        {script, {"fail"}, {ran("fail"), "end fail", said + "fail exited with 3"}},
        {script, {"hang", "a"}, {ran("hang"), "end hang", said + "hang took over 0.3 s and was stopped", ran("a"),
                                 "end a"}},
        {missing, {"a"}, {"kaloctl: on-change " + missing + " for a could not start: " + missing
                          + ": No such file or directory"}},
        {"echo", {"a"}, {"a ua ok out"}},
        {script, {"hang", "a", "b"}, {ran("hang"), "end hang", said + "hang was stopped",
                                      "kaloctl: on-change " + script + ": 2 changes not run"}, true},
    };
    sim::InProcessPlatform platform;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.program + " " + row.names[0]);
        std::vector<std::string> told;
        const auto started = std::chrono::steady_clock::now();
        {
            cli::ChangeHook hook(platform, row.program, [&](const std::string& line) {
                if (told.empty() && row.interrupt)
                    platform::Interrupt(SIGINT);
                told.push_back(line);
            }, 300'000);
            for (const std::string& name : row.names)
                hook.Queue({name, "u" + name, "ok", "out"});
            hook.Drain();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1300));
        EXPECT_EQ(told, row.lines);
        platform::ClearInterruption();
    }
    std::filesystem::remove(script);
}

} // namespace
