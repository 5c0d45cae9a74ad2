#include "Kaloctl.h"

#include "platform/ConsoleMessageSink.h"
#include "app/CupsRegistryView.h"
#include "platform/PosixPlatform.h"
#include "platform/Signals.h"
#include "platform/LazyRegistryFile.h"
#include "platform/cups/CupsSpooler.h"

#include <iostream>

int main(int argc, char** argv)
{
    kalo::platform::IgnoreBrokenPipes();
    kalo::platform::ConsoleMessageSink messages(std::cerr);
    kalo::platform::PosixPlatform platform(messages);
    kalo::platform::CupsSpooler spooler;
    // Read only when a command names a printer to preselect.
    const kalo::platform::LazyRegistryFile file(kalo::RegistryFilePath);
    const kalo::CupsRegistryView cups(spooler, platform.Ports());
    const kalo::CRegistryKey registry({&file, &cups});
    kalo::cli::Kaloctl kaloctl;
    return kaloctl.Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr, platform, spooler,
                       registry);
}
