#pragma once

#include "headlessrun.h"

#include <QCommandLineParser>

class QCoreApplication;

// The console's command line. -h, --help, --help-all, -v and --version are
// answered before the GUI starts, so that they work without a display, and
// nothing else is: Qt's own options (-platform, -style NAME, -reverse and
// the like) start the console as Qt documents them. Everything else is read
// once the application has taken those.
class CommandLine {
public:
    CommandLine();

    // Before the application object exists: prints the help (--help-all:
    // with Qt's own options) or the version and ends the process when one
    // was asked for; returns otherwise.
    void answerWithoutDisplay(int argc, char **argv);

    // With the application: reads its remaining arguments. An unknown option
    // or a missing value is reported on standard error and ends the process
    // with `failureStatus`.
    void process(const QCoreApplication &app, int failureStatus = 1);

    // --run FILE: a scenario run without a window (HeadlessRun); known once
    // answerWithoutDisplay() has returned, before any application exists.
    bool headless() const { return m_parser.isSet(m_run); }
    // With --run, after process(): its options, or a message on standard
    // error and false when one is out of range.
    bool headlessOptions(HeadlessRun::Options &options) const;

    // --demo: the device simulator on port 2 (DemoSimulator).
    bool demo() const { return m_parser.isSet(m_demo); }
    // --log FILE: the receive log's file to start with, or empty.
    QString logFile() const { return m_parser.value(m_log); }

private:
    void refuseRunOptionsWithoutRun() const;

    QCommandLineParser m_parser;
    const QCommandLineOption m_demo{
        QStringLiteral("demo"),
        QStringLiteral(
            "Try the console without the hardware: the device simulator kalvex-sim "
            "answers on port 2 (unless RS232_PORT_2 is set) and ends with the console.")};
    const QCommandLineOption m_log{
        QStringLiteral("log"),
        QStringLiteral("Start with the receive log on: every byte received is appended to <file> "
                       "as it came, for an unattended capture."),
        QStringLiteral("file")};
    const QCommandLineOption m_run{
        QStringLiteral("run"),
        QStringLiteral("Run the test scenario <file> without a window, print a line a step and "
                       "a summary, and exit with 0 when every step passed, 1 when a step "
                       "failed, 2 when it could not run."),
        QStringLiteral("file")};
    const QCommandLineOption m_port{
        QStringLiteral("port"),
        QStringLiteral("With --run: the port number, as in the window's \"Nr portu:\" "
                       "(default 2)."),
        QStringLiteral("n"), QStringLiteral("2")};
    const QCommandLineOption m_repeat{
        QStringLiteral("repeat"),
        QStringLiteral("With --run: run the scenario <n> times, reporting each run."),
        QStringLiteral("n"), QStringLiteral("1")};
    const QCommandLineOption m_junit{
        QStringLiteral("junit"),
        QStringLiteral("With --run: write a JUnit XML report to <report.xml>, a test suite a "
                       "run and a test case a step."),
        QStringLiteral("report.xml")};
};
