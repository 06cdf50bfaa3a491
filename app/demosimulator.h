#pragma once

#include <QObject>
#include <QString>

class PortDirectory;

#include <memory>

class QProcess;
class QTemporaryDir;

// The demo: the device simulator kalvex-sim plays the device on a new
// pseudo-terminal that is port 2, so that the console can be tried without
// the hardware (rs232-kalvex --demo).
//
// start() maps port 2 to a link that the simulator makes to its pty, starts
// the simulator and returns at once: the link is opened at "Otwórz port",
// so nothing waits for the simulator to come up. When port 2 is mapped
// already (RS232_PORT_2), it stays as the user mapped it and no simulator is
// started.
//
// The simulator ends with this object: the destructor sends it SIGTERM and
// gives it a moment to remove its link, which the console does after its
// event loop, with no window left. Should the console die without cleaning
// up (SIGKILL), the kernel ends the simulator (PR_SET_PDEATHSIG on Linux).
// The simulator's log of commands and replies reaches standard error only
// when the logging category kalvex.demo is at debug level; its failures
// always do.
class DemoSimulator : public QObject {
    Q_OBJECT

public:
    explicit DemoSimulator(QObject *parent = nullptr);
    ~DemoSimulator() override;

    // Maps port 2 in `ports` to the simulator, and starts it.
    void start(PortDirectory &ports);

    // Whether port 2 can be opened now: the simulator serves it, or failed
    // to start, or none was started. Once it is, ready() is raised.
    bool isReady() const { return m_ready; }

    // The simulator the demo starts: beside the console (installed, both are
    // in /usr/bin), then in the build tree (build/simulator beside
    // build/app), then on PATH. Empty when there is none.
    static QString simulatorPath();

signals:
    void ready();

private:
    void stop();
    void becomeReady();

    std::unique_ptr<QTemporaryDir> m_linkDir;
    QProcess *m_process = nullptr;
    bool m_ready = true;
};
