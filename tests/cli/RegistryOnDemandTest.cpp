#include "cli/Kaloctl.h"
#include "platform/LazyRegistryFile.h"
#include "platform/MemorySpooler.h"
#include "sim/InProcessPlatform.h"

#include <gtest/gtest.h>

#include <sstream>

// The registry file is looked for only when a command names a printer.
TEST(Kaloctl, ReadsTheRegistryOnlyForAPrinterName)
{
    const struct {
        const char* what;
        std::vector<std::string> args;
        bool reads;
    } rows[] = {
        {"help", {"--help"}, false},
        {"no command", {}, false},
        {"serial port given", {"--serial", "COM1", "identify"}, false},
        {"network printer given", {"--tcp", "10.0.0.50", "identify"}, false},
        {"printer named", {"--printer", "Receipt COM1", "identify"}, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        int located = 0;
        const kalo::platform::LazyRegistryFile file([&located] {
            ++located;
            return std::string();
        });
        const kalo::CRegistryKey registry({&file});
        kalo::sim::InProcessPlatform machine;
        kalo::platform::MemorySpooler spooler;
        std::ostringstream out, err;
        kalo::cli::Kaloctl().Run(row.args, out, err, machine, spooler, registry);
        EXPECT_EQ(located, row.reads ? 1 : 0);
    }
}
