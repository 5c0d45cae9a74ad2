#pragma once

#include <QApplication>

#include <string>

// The application: runs the main window modally and ends when it closes.
class CConfigApp : public QApplication {
    Q_OBJECT
public:
    CConfigApp(int& argc, char** argv);

    // Always false: the program has no loop of its own beyond its windows'.
    bool InitInstance();

    // An interrupt, termination or hang-up stops the exchange under way at
    // its next wait (see platform/Interruption.h: what must go out whole
    // does first) and, once the event loop runs again, closes the modal
    // windows from the innermost out, each as if cancelled, so the spooler
    // queues get their ports back before the program goes.
    static void CloseWindowsOnTerminationSignals(QObject* owner);

    // The printer name after the program name: the arguments joined by
    // single spaces, taken as one name exactly as given.
    static std::string TargetPrinter(int argc, char** argv);

private:
    std::string m_targetPrinter;
};
