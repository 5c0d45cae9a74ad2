#include "CConfigApp.h"
#include "KaloVersion.h"

#include <iostream>
#include <string>

namespace {

const char kUsage[] = R"(Usage: kalo [PRINTER NAME]

Opens the main window of the configuration tool for the KEMTRAN TLR-740plusII,
TLR-742plusII and TLR-740II receipt printers. With a name, the window
preselects that printer's interface and line settings, from the registry file
or the CUPS queues; the rest of the command line is that one name.

  --help                 this text
  --version              the program's version
Each is an option only as the whole command line.
)";

} // namespace

int main(int argc, char** argv)
{
    // Answered before the window system is touched, so they work without a
    // display; any other command line is a printer name.
    const std::string only = argc == 2 ? argv[1] : "";
    if (only == "--help") {
        std::cout << kUsage;
        return 0;
    }
    if (only == "--version") {
        std::cout << kalo::VersionLine("kalo");
        return 0;
    }
    CConfigApp app(argc, argv);
    app.InitInstance();
    return 0;
}
