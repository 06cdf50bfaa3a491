#include "application.h"

#include "aboutwindow.h"
#include "appinfo.h"
#include "dataviewengine.h"
#include "fontfallback.h"
#include "terminationsignals.h"

#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>
#include <QWidget>

#include <cstdlib>
#include <exception>

#ifdef Q_OS_UNIX
#include <langinfo.h>
#include <signal.h>
#include <clocale>
#include <cstring>
#endif

// The application's log ("kalvex.app").
Q_LOGGING_CATEGORY(lcApp, "kalvex.app", QtInfoMsg)

namespace {

// Qt takes every 8-bit text of the system (file names, the environment,
// messages) as UTF-8, but Xlib converts window titles for the window
// manager's WM_NAME through the C library's character type. Under a locale
// that is not UTF-8 (the POSIX locale of containers and minimal installs)
// "Znajdź" would reach WM_NAME as its UTF-8 bytes labelled Latin-1. The
// character type follows Qt, as Qt 6.5 and later do themselves; the other
// categories (messages, date and number formats) stay as the user set them.
void useUtf8CharacterType() {
#ifdef Q_OS_UNIX
    const auto isUtf8 = [] {
        const char *codeset = nl_langinfo(CODESET);
        return std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0;
    };
    if (isUtf8())
        return;
    // "pl_PL.ISO-8859-2" becomes "pl_PL.UTF-8" where that is installed.
    const QByteArray name = QByteArray(std::setlocale(LC_CTYPE, nullptr)).split('.').first();
    for (const QByteArray &candidate :
         {name.split('@').first() + ".UTF-8", QByteArray("C.UTF-8")}) {
        if (std::setlocale(LC_CTYPE, candidate.constData()) && isUtf8()) {
            qCDebug(lcApp, "character type %s, as Qt's texts are UTF-8", candidate.constData());
            return;
        }
    }
    qCWarning(lcApp,
              "no UTF-8 locale for the character type: non-ASCII window titles may be "
              "garbled for the window manager");
#endif
}

// The window's texts are Polish whatever the system's language, and so are
// the texts of Qt's own dialogs (the file dialog's buttons and labels) where
// Qt's translations are installed (Debian: qt6-translations-l10n).
void useQtPolishTexts(QCoreApplication *app) {
    auto *translator = new QTranslator(app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (translator->load(QStringLiteral("qtbase_pl"), folder) &&
        QCoreApplication::installTranslator(translator))
        return;
    qCDebug(lcApp, "no Polish texts for Qt's own dialogs in %s", qUtf8Printable(folder));
    delete translator;
}

}  // namespace

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {
    useUtf8CharacterType();
    useQtPolishTexts(this);
    AppInfo::apply();
    installFontFallbacks();
    DataViewEngine::initialize();
#ifdef Q_OS_UNIX
    // A file grown past the process's size limit (ulimit -f) fails its write
    // with EFBIG, which a save or the receive log reports, instead of ending
    // the console.
    ::signal(SIGXFSZ, SIG_IGN);
#endif
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

int Application::exitStatus(int loopStatus) {
    m_services.log.finish();
    if (m_services.log.hasFailed())
        return EXIT_FAILURE;
    if (m_signals)
        m_signals->endByReceivedSignal();
    return loopStatus;
}
