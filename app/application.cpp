#include "application.h"

#include "aboutwindow.h"
#include "appinfo.h"
#include "dataviewengine.h"
#include "fontfallback.h"
#include "terminationsignals.h"

#include <QLoggingCategory>
#include <QWidget>

#include <exception>

// The application's log ("kalvex.app").
Q_LOGGING_CATEGORY(lcApp, "kalvex.app", QtInfoMsg)

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {
    AppInfo::apply();
    installFontFallbacks();
    DataViewEngine::initialize();
}

bool Application::notify(QObject *receiver, QEvent *event) {
    // The edge of the event loop: a failure must not unwind through Qt.
    // Handlers catch the control's own failures; what comes here is a fault
    // of the program or of the system (out of memory).
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        qCCritical(lcApp, "uncaught failure in an event handler: %s", e.what());
    }
    return false;
}

void Application::showAboutWindow() {
    if (!m_about)
        m_about = new AboutWindow(this);
    m_about->show();
}

void Application::endOnTerminationSignals() {
    if (m_signals)
        return;
    m_signals = new TerminationSignals(this);
    connect(m_signals, &TerminationSignals::arrived, this, [] {
        // Closed windows are deleted when the event loop returns, and the
        // main window's serial port with them.
        for (QWidget *w : topLevelWidgets())
            if (w->isVisible())
                w->close();
        quit();
    });
}

void Application::endByReceivedSignal() const {
    if (m_signals)
        m_signals->endByReceivedSignal();
}
