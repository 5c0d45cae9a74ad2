#include "CConfigApp.h"

#include "CMainDlg.h"
#include "CupsRegistryView.h"
#include "PaintingClock.h"
#include "QtFileDialogs.h"
#include "QtMessageBoxes.h"
#include "platform/PosixPlatform.h"
#include "platform/LazyRegistryFile.h"
#include "platform/cups/CupsSpooler.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalWriteFd = -1;

void OnTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_signalWriteFd, &byte, 1);
}

} // namespace

CConfigApp::CConfigApp(int& argc, char** argv)
    : QApplication(argc, argv)
    , m_targetPrinter(TargetPrinter(argc, argv))
{
}

std::string CConfigApp::TargetPrinter(int argc, char** argv)
{
    std::string name;
    for (int i = 1; i < argc; ++i) {
        if (!name.empty())
            name += ' ';
        name += argv[i];
    }
    const size_t start = name.find_first_not_of(" \t");
    return start == std::string::npos ? std::string() : name.substr(start);
}

void CConfigApp::WatchTerminationSignals()
{
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0)
        return;
    g_signalWriteFd = fds[0];
    auto* notifier = new QSocketNotifier(fds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [fd = fds[1]] {
        char drained[16];
        while (read(fd, drained, sizeof drained) > 0) {
        }
        // Close the windows from the innermost out; each run ends as if cancelled.
        while (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool CConfigApp::InitInstance()
{
    // POSIX sockets need no start-up, so there is no socket-layer failure to report.
    WatchTerminationSignals();

    QtMessageBoxes messages;
    QtFileDialogs fileDialogs;
    PaintingClock clock;
    kalo::platform::PosixPlatform platform(messages, kalo::platform::PortMap(), &clock);
    kalo::platform::CupsSpooler spooler;
    // Read only when the program was started for a printer.
    const kalo::platform::LazyRegistryFile file(kalo::RegistryFilePath);
    const kalo::CupsRegistryView cups(spooler, platform.Ports());
    const kalo::CRegistryKey registry({&file, &cups});

    {
        CMainDlg mainWindow({platform, spooler, registry, fileDialogs, m_targetPrinter});
        messages.SetOwner(&mainWindow);
        mainWindow.exec();
    }
    return false;
}
