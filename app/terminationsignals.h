#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP (logout, a terminal's Ctrl-C or hang-up) reach
// the event loop as arrived(): the handler only writes the signal's number
// to a pipe that a QSocketNotifier watches, so that the console can end as
// closing its windows does, releasing the port and its lock file. On Windows
// these signals do not exist and nothing is installed.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    // Installs the handlers; at most one instance at a time.
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // The signal that arrived first, or 0.
    int received() const { return m_received; }

    // Once the console has cleaned up: ends the process by the signal that
    // arrived, as its default action would, so that whoever started the
    // console learns why it ended. Returns when no signal arrived.
    void endByReceivedSignal() const;

signals:
    void arrived(int signal);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
    int m_received = 0;
};
