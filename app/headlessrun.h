#pragma once

#include "portdirectory.h"
#include "scenario.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <memory>

class DemoSimulator;
class JUnitReport;
class MSComm;
class QSaveFile;
class ReceiveLog;
class ScenarioRunner;
class TerminationSignals;

// rs232-kalvex --run FILE: a scenario run without a window and without a
// display, for a production line or CI. It prints a line a step and a
// summary a run on standard output, optionally writes a JUnit report and
// the receive log, and ends with 0 when every step passed, 1 when a step
// failed (or the receive log did), 2 when it could not run: a file that
// cannot be read or is malformed, a report or log that cannot be written, a
// port that will not open. What could not run is said on standard error.
//
// It is event driven as the window is: the port's notifications and the
// runner's timer. SIGTERM, SIGINT and SIGHUP stop the run, report what ran,
// close the port, and end the process by that signal.
class HeadlessRun : public QObject {
    Q_OBJECT

public:
    struct Options {
        QString file;
        int port = 2;
        int repeat = 1;
        QString junit;  // empty: no report
        QString log;    // empty: no receive log
        bool demo = false;
    };

    static constexpr int kFailed = 1;
    static constexpr int kCannotRun = 2;

    HeadlessRun(Options options, PortDirectory ports, QObject *parent = nullptr);
    ~HeadlessRun() override;

    // Runs every repetition in the application's event loop; the process's
    // exit status.
    int exec();

private:
    bool prepare();
    void openPortAndRun();
    void startRun();
    void receive();
    void stepFinished(qsizetype step);
    void runFinished();
    void cannotRun(const QString &text);
    bool finishReport();

    Options m_options;
    PortDirectory m_ports;
    Scenario m_scenario;
    MSComm *m_comm;
    ReceiveLog *m_log;
    ScenarioRunner *m_runner;
    TerminationSignals *m_signals;
    std::unique_ptr<DemoSimulator> m_demo;
    std::unique_ptr<QSaveFile> m_reportFile;
    std::unique_ptr<JUnitReport> m_report;
    int m_run = 0;
    int m_failedRuns = 0;
    bool m_portLost = false;
    bool m_logFailed = false;
    int m_status = 0;
    QDateTime m_runStarted;
    QElapsedTimer m_runClock;
};
