#pragma once

#include "consoleservices.h"

#include <QApplication>

class AboutWindow;
class TerminationSignals;

// The console's application object: its identity, the services the main
// window shows (the receive log, the count), the one About window instance,
// and the last line of defence against failures. A failure that
// no handler caught is logged here and the console goes on, instead of
// unwinding through Qt's event loop.
class Application : public QApplication {
    Q_OBJECT

public:
    Application(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Made with the application, kept until its end: the main window is
    // handed them.
    ConsoleServices &services() { return m_services; }

    // Opens the About window, creating its instance on first use.
    void showAboutWindow();
    AboutWindow *aboutWindow() const { return m_about; }

    // From now on SIGTERM, SIGINT and SIGHUP close every window, as the
    // operator would, and end the event loop.
    void endOnTerminationSignals();

    // After the event loop, whose status is given: ends the receive log,
    // waiting for its last sync, and gives the process's exit status. A log
    // that failed (its last sync included, which only standard error was
    // told) makes it a failure, whatever ended the console, a signal too;
    // otherwise a console ended by a signal ends its process by that signal
    // here.
    int exitStatus(int loopStatus);

private:
    ConsoleServices m_services;
    AboutWindow *m_about = nullptr;
    TerminationSignals *m_signals = nullptr;
};
