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

    // The printer name after the program name: the arguments joined by
    // single spaces, taken as one name exactly as given.
    static std::string TargetPrinter(int argc, char** argv);

private:
    // An interrupt or termination ends the windows the ordinary way, so the
    // spooler queues get their ports back before the program goes.
    void WatchTerminationSignals();

    std::string m_targetPrinter;
};
