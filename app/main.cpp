#include "application.h"
#include "callerconsole.h"
#include "commandline.h"
#include "demosimulator.h"
#include "fileerror.h"
#include "form1.h"
#include "headlessrun.h"
#include "portdirectory.h"
#include "runningmark.h"
#include "windowplacement.h"

#include <cstdlib>
#include <memory>

int main(int argc, char *argv[]) {
    CallerConsole::attach();
    CommandLine commandLine;
    commandLine.answerWithoutDisplay(argc, argv);
    // A scenario run without a window needs no display: no GUI application.
    if (commandLine.headless()) {
        QCoreApplication app(argc, argv);
        commandLine.process(app, HeadlessRun::kCannotRun);
        HeadlessRun::Options options;
        if (!commandLine.headlessOptions(options))
            return HeadlessRun::kCannotRun;
        return HeadlessRun(options, PortDirectory::fromEnvironment()).exec();
    }
    Application app(argc, argv);
    commandLine.process(app);
    RunningMark::set();
    app.endOnTerminationSignals();
    ConsoleServices &services = app.services();
    // The operator's port mappings are read here, once.
    services.ports = PortDirectory::fromEnvironment();
    std::unique_ptr<DemoSimulator> demo;
    if (commandLine.demo()) {
        demo = std::make_unique<DemoSimulator>();
        demo->start(services.ports);
    }
    // An unattended capture that cannot write its file does not start.
    if (const QString log = commandLine.logFile(); !log.isEmpty()) {
        try {
            services.log.start(log, ReceiveLog::Existing::Append);
        } catch (const FileError &e) {
            CallerConsole::write(
                stderr, QStringLiteral("rs232-kalvex: --log %1: %2\n").arg(log, e.reason()));
            return EXIT_FAILURE;
        }
    }

    // The main window is created from its design and shown; from here on
    // everything happens in event handlers. It deletes itself when closed,
    // and the application ends when its last window is gone. The receive
    // log ends with the window.
    auto *form1 = new Form1(services);
    QObject::connect(form1, &QObject::destroyed, &services.log, &ReceiveLog::stop);
    centreOnScreen(form1);
    QObject::connect(form1, &Form1::aboutRequested, &app, &Application::showAboutWindow);
    form1->show();
    CallerConsole::detach();
    const int status = app.exec();
    // The simulator ends before a signal that ended the console ends its
    // process.
    demo.reset();
    return app.exitStatus(status);
}
