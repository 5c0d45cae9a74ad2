// kaloctl's command line, one argument per input line, against the in-process
// printer, a registry file and print queues that name it.
#include "cli/Kaloctl.h"
#include "sim/MemorySpooler.h"
#include "platform/RegistryFile.h"
#include "sim/InProcessPlatform.h"
#include "status/StatusFile.h"
#include "tests/support/RegistryText.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

using namespace kalo;

namespace {

std::filesystem::path g_scratch;

void RemoveScratch()
{
    std::error_code ignored;
    std::filesystem::remove_all(g_scratch, ignored);
}

// Status file names and the profile written (the files kaloctl writes) are
// taken in the scratch folder; a name with a folder of its own could reach
// the machine's files, so such a line is not run.
bool InScratch(std::string& arg, const std::string& option)
{
    if (!StatusFile::HasStatusExtension(arg) && option != "--profile-out")
        return true;
    if (arg.find('/') != std::string::npos)
        return false;
    arg = (g_scratch / arg).string();
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_scratch = std::filesystem::temp_directory_path() / ("kalo-fuzz-" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(g_scratch);
    std::atexit(RemoveScratch);
    StatusRecord record;
    record.switchPins[0][3] = PinOn;
    record.doubleByteFontIndex = 1;
    std::string error;
    StatusFile::Save((g_scratch / "backup.sts").string(), record, error);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> args;
    std::istringstream lines(std::string(reinterpret_cast<const char*>(data), size));
    for (std::string line; std::getline(lines, line);) {
        if (!InScratch(line, args.empty() ? std::string() : args.back()))
            return 0;
        args.push_back(line);
    }

    sim::InProcessPlatform machine;
    machine.usbPrinters = {{"/dev/usb/lp0", "7a3c", "001e", "K1"}, {"/dev/usb/lp1", "7a3c", "001f", ""}};
    sim::MemorySpooler spooler;
    spooler.queues = {{"Receipt COM1", "serial:/dev/ttyS0?baud=19200"}, {"Net", "socket://10.0.0.50:9100"}};
    const auto file = platform::RegistryFile::FromText(test::kRegistryText);
    const CRegistryKey registry({&file});
    std::ostringstream out, err;
    const bool diff = std::find(args.begin(), args.end(), "diff") != args.end(); // only diff exits 3
    const int status = cli::Kaloctl().Run(std::move(args), out, err, machine, spooler, registry);
    // Whatever the line says: a usage error touches no port and no queue,
    // every device opened is closed again, and the queues get their devices back.
    const bool touched = !machine.lastOpenedPath.empty() || machine.lastLink || spooler.changes > 0;
    if (status < 0 || status > 3 || (status == 3 && !diff) || (status == 2 && touched) || machine.openDevices != 0
        || spooler.UriOf("Receipt COM1") != "serial:/dev/ttyS0?baud=19200"
        || spooler.UriOf("Net") != "socket://10.0.0.50:9100" || spooler.queues.size() != 2)
        std::abort();
    return 0;
}
