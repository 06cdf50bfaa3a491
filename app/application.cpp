#include "application.h"

#include "aboutwindow.h"
#include "appinfo.h"
#include "fontfallback.h"

#include <cstdio>
#include <exception>

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {
    AppInfo::apply();
    installFontFallbacks();
}

bool Application::notify(QObject *receiver, QEvent *event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "rs232-kalvex: uncaught failure in an event handler: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "rs232-kalvex: uncaught failure in an event handler\n");
    }
    std::fflush(stderr);
    return false;
}

void Application::showAboutWindow() {
    if (!m_about)
        m_about = new AboutWindow(this);
    m_about->show();
}
