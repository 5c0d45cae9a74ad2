#include "Kaloctl.h"

#include "platform/ConsoleMessageSink.h"
#include "connect/CupsRegistryView.h"
#include "platform/ChildProcesses.h"
#include "platform/Interruption.h"
#include "platform/OutputBuffer.h"
#include "platform/PosixPlatform.h"
#include "platform/Signals.h"
#include "platform/LazyRegistryFile.h"
#include "platform/cups/CupsSpooler.h"

#include <iostream>
#include <sstream>

int main(int argc, char** argv)
{
    // A fleet's child: its parent counts its memory.
    kalo::platform::ReportPeakAtExit();
    kalo::platform::IgnoreBrokenPipes();
    kalo::platform::InterruptOnTerminationSignals();
    using kalo::platform::StandardStream;
    const kalo::platform::CheckedStandardStream standardOutput(std::cout, StandardStream::Output, 0);
    const kalo::platform::CheckedStandardStream standardError(std::cerr, StandardStream::Error,
                                                              kalo::platform::kTracePatienceMs);
    kalo::platform::ConsoleMessageSink messages(std::cerr);
    kalo::platform::PosixPlatform platform(messages);
    kalo::platform::CupsSpooler spooler;
    // Read only when a command names a printer to preselect.
    const kalo::platform::LazyRegistryFile file(kalo::RegistryFilePath, &messages);
    const kalo::CupsRegistryView cups(spooler, platform.Ports());
    const kalo::CRegistryKey registry({&file, &cups});
    kalo::cli::Kaloctl kaloctl;
    // Standard output goes out only once the command is through, so a script
    // reading it gets a whole JSON document or nothing at all; only a command
    // that reports as it goes (fleet, trace-view) writes to it at once.
    std::ostringstream out;
    const int status = kaloctl.Run(std::vector<std::string>(argv + 1, argv + argc), out, std::cerr, platform,
                                   spooler, registry, nullptr, &std::cout);
    if (kalo::platform::Interrupted()) {
        std::cerr << "kaloctl: interrupted\n" << std::flush;
        return kalo::cli::InterruptedExitStatus(kalo::platform::InterruptingSignal());
    }
    std::cout << out.str() << std::flush;
    // Output lost is never a success; a reader that left wants no word about it.
    const kalo::platform::OutputBuffer& written = standardOutput.Buffer();
    if (!written.Failure().empty()) {
        if (!written.ReaderGone())
            std::cerr << "kaloctl: cannot write standard output: " << written.Failure() << '\n' << std::flush;
        return kalo::cli::kExitFailed;
    }
    return status;
}
