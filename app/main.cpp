#include "application.h"
#include "commandline.h"
#include "form1.h"
#include "windowplacement.h"

int main(int argc, char *argv[]) {
    CommandLine commandLine;
    commandLine.answerWithoutDisplay(argc, argv);
    Application app(argc, argv);
    commandLine.process(app);
    app.endOnTerminationSignals();

    // The main window is created from its design and shown; from here on
    // everything happens in event handlers. It deletes itself when closed,
    // and the application ends when its last window is gone.
    auto *form1 = new Form1;
    centreOnScreen(form1);
    QObject::connect(form1, &Form1::aboutRequested, &app, &Application::showAboutWindow);
    form1->show();
    const int status = app.exec();
    app.endByReceivedSignal();
    return status;
}
