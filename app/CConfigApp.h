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

    // An interrupt, termination or hang-up closes the modal windows from the
    // innermost out once the event loop runs, each as if cancelled, so the
    // spooler queues get their ports back before the program goes. An
    // exchange under way (Set Status, user-setting mode and all) runs on the
    // event loop's thread, so it finishes first.
    static void CloseWindowsOnTerminationSignals(QObject* owner);

    // The printer name after the program name: the arguments joined by
    // single spaces, taken as one name exactly as given.
    static std::string TargetPrinter(int argc, char** argv);

private:
    std::string m_targetPrinter;
};
