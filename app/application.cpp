#include "application.h"

#include "aboutwindow.h"
#include "appinfo.h"
#include "fontfallback.h"

#include <QLoggingCategory>

#include <exception>

// The application's log ("kalvex.app").
Q_LOGGING_CATEGORY(lcApp, "kalvex.app", QtInfoMsg)

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {
    AppInfo::apply();
    installFontFallbacks();
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
