#include "Kaloctl.h"

#include "platform/ConsoleMessageSink.h"
#include "platform/PosixPlatform.h"

#include <csignal>
#include <iostream>

int main(int argc, char** argv)
{
    signal(SIGPIPE, SIG_IGN);
    kalo::platform::ConsoleMessageSink messages(std::cerr);
    kalo::platform::PosixPlatform platform(messages);
    kalo::cli::Kaloctl kaloctl;
    return kaloctl.Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr, platform);
}
