#include "CConfigApp.h"

#include "CMainDlg.h"
#include "connect/CupsRegistryView.h"
#include "PaintingClock.h"
#include "QtFileDialogs.h"
#include "QtMessageBoxes.h"
#include "platform/OutputBuffer.h"
#include "platform/PosixPlatform.h"
#include "platform/Interruption.h"
#include "platform/Signals.h"
#include "platform/TracingPlatform.h"
#include "platform/LazyRegistryFile.h"
#include "platform/cups/CupsSpooler.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cstdlib>
#include <iostream>
#include <utility>

CConfigApp::CConfigApp(int& argc, char** argv)
    : QApplication(argc, argv)
    , m_targetPrinter(TargetPrinter(argc, argv))
{
    // Lets the desktop match the windows to the menu entry and its icon.
    setDesktopFileName(QStringLiteral("org.kalo.Kalo"));
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

void CConfigApp::CloseWindowsOnTerminationSignals(QObject* owner)
{
    kalo::platform::InterruptOnTerminationSignals();
    const int fd = kalo::platform::InterruptionNotice();
    if (fd < 0)
        return;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, owner);
    connect(notifier, &QSocketNotifier::activated, owner, [notifier] {
        // The notice stays readable: once is enough.
        notifier->setEnabled(false);
        while (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        // Close the windows from the innermost out; each run ends as if
        // cancelled. One that stays open ends the round rather than loop.
        QWidget* last = nullptr;
        while (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            if (dialog == std::exchange(last, dialog))
                break;
            dialog->reject();
        }
    });
}

bool CConfigApp::InitInstance()
{
    // POSIX sockets need no start-up, so there is no socket-layer failure to report.
    CloseWindowsOnTerminationSignals(this);

    QtMessageBoxes messages;
    QtFileDialogs fileDialogs;
    PaintingClock clock;
    kalo::platform::PosixPlatform platform(messages, kalo::platform::PortMap(), &clock);
    kalo::platform::CupsSpooler spooler;
    // Read only when the program was started for a printer.
    const kalo::platform::LazyRegistryFile file(kalo::RegistryFilePath, &messages);
    const kalo::CupsRegistryView cups(spooler, platform.Ports());
    const kalo::CRegistryKey registry({&file, &cups});

    // KALO_TRACE=FILE (or -, standard error): the wire trace kaloctl's --trace
    // writes, with standard error's writes bounded as kaloctl's are.
    const kalo::platform::CheckedStandardStream standardError(std::cerr, kalo::platform::StandardStream::Error,
                                                              kalo::platform::kTracePatienceMs);
    kalo::platform::ProgramTrace trace;
    std::string traceRefusal;
    // A line that cannot be written ends the trace; the window says so, from
    // its own thread, and goes on.
    const auto lost = [this, &messages, &trace] {
        QMetaObject::invokeMethod(
            this,
            [&messages, &trace] {
                messages.Show("KALO_TRACE: " + trace.LostReason() + ". The program goes on without a trace.",
                              "Warning", kalo::platform::MessageIcon::Warning);
            },
            Qt::QueuedConnection);
    };
    if (const char* path = std::getenv("KALO_TRACE"); path && *path)
        trace.Start(path, platform, std::cerr, traceRefusal, lost);

    {
        CMainDlg mainWindow({trace.Use(platform), spooler, registry, fileDialogs, m_targetPrinter});
        messages.SetOwner(&mainWindow);
        // Said over the window once it is up, so a termination signal closes both.
        if (!traceRefusal.empty())
            QTimer::singleShot(0, &mainWindow, [&messages, &traceRefusal] {
                messages.Show("KALO_TRACE: " + traceRefusal + ". The program goes on without a trace.", "Warning",
                              kalo::platform::MessageIcon::Warning);
            });
        mainWindow.exec();
    }
    return false;
}
