#pragma once

#include <QCommandLineParser>

class QCoreApplication;

// The console's command line. --help and --version are answered before the
// GUI starts, so that they work without a display; everything else is read
// once the application has taken the options that are Qt's own (-platform,
// -style and the like).
class CommandLine {
public:
    CommandLine();

    // Before the application object exists: prints the help or the version
    // and ends the process when either was asked for; returns otherwise.
    void answerWithoutDisplay(int argc, char **argv);

    // With the application: reads its remaining arguments. An unknown option
    // or a missing value is reported on standard error and ends the process.
    void process(const QCoreApplication &app);

    // --demo: the device simulator on port 2 (DemoSimulator).
    bool demo() const { return m_parser.isSet(m_demo); }

private:
    QCommandLineParser m_parser;
    const QCommandLineOption m_demo{
        QStringLiteral("demo"),
        QStringLiteral(
            "Try the console without the hardware: the device simulator kalvex-sim "
            "answers on port 2 (unless RS232_PORT_2 is set) and ends with the console.")};
};
