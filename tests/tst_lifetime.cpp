// Start-up, the About window's one instance, exit, the clock, and failures
// that no handler caught.
#include "aboutwindow.h"
#include "application.h"
#include "clocktext.h"
#include "form1.h"
#include "form2.h"
#include "kalvexversion.h"

#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

namespace {

QList<Form2 *> shownAboutWindows() {
    QList<Form2 *> found;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *f = qobject_cast<Form2 *>(w); f && f->isVisible())
            found << f;
    return found;
}

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class Thrower : public QObject {
public:
    bool event(QEvent *e) override {
        if (e->type() == QEvent::User)
            throw std::runtime_error("handler failed");
        return QObject::event(e);
    }
};

}  // namespace

class TestLifetime : public QObject {
    Q_OBJECT

private slots:
    void startsWithClosedPortAndEmptyClock();
    void clockTicksEverySecond();
    void clockText_data();
    void clockText();
    void aboutWindowIsOneInstance();
    void aboutWindowRebuiltAfterClose();
    void aboutWindowOutlivesMainWindow();
    void recordAndBannerCarryTheBuiltVersion();
    void uncaughtFailureIsReportedAndConsoleGoesOn();
    void qtDialogsSpeakPolish();

private:
    Application *app() const { return static_cast<Application *>(qApp); }
};

void TestLifetime::startsWithClosedPortAndEmptyClock() {
    QPointer<Form1> form = new Form1(app()->services());
    form->show();
    auto *clock = form->findChild<QLabel *>("Label2");
    QVERIFY(clock);
    QCOMPARE(clock->text(), QString());
    QVERIFY(shownAboutWindows().isEmpty());
    auto *timer = form->findChild<QTimer *>("Timer1");
    QVERIFY(timer && timer->isActive());
    QCOMPARE(timer->interval(), 1000);
    delete form;
}

void TestLifetime::clockTicksEverySecond() {
    QPointer<Form1> form = new Form1(app()->services());
    form->show();
    auto *clock = form->findChild<QLabel *>("Label2");
    QTest::qWait(600);
    QCOMPARE(clock->text(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(!clock->text().isEmpty(), 2000);
    const QString first = clock->text();
    // The label holds the date, one space and the time of this very moment.
    const QString now = ::clockText(QLocale::system(), QDate::currentDate(), QTime::currentTime());
    QCOMPARE(first.count(u' '), now.count(u' '));
    QTRY_VERIFY_WITH_TIMEOUT(clock->text() != first, 2500);
    delete form;
}

void TestLifetime::clockText_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Polish") << "pl_PL"
                            << "7.12.2026 09:05:03";
    QTest::newRow("German") << "de_DE"
                            << "07.12.26 09:05:03";
    QTest::newRow("US") << "en_US"
                        << "12/7/26 9:05:03\u202fAM";
}

void TestLifetime::clockText() {
    QFETCH(QString, locale);
    QFETCH(QString, expected);
    const QString text = ::clockText(QLocale(locale), QDate(2026, 12, 7), QTime(9, 5, 3));
    // Locale data differs between Qt versions in details such as the narrow
    // space before AM; compare with blanks normalised.
    auto normal = [](QString s) { return s.replace(QChar(0x202F), u' ').simplified(); };
    QCOMPARE(normal(text), normal(expected));
}

void TestLifetime::aboutWindowIsOneInstance() {
    QVERIFY(!app()->aboutWindow());
    auto *form = new Form1(app()->services());
    connect(form, &Form1::aboutRequested, app(), &Application::showAboutWindow);
    form->show();
    form->findChild<QAbstractButton *>("Command19")->click();
    AboutWindow *instance = app()->aboutWindow();
    QVERIFY(instance);
    QPointer<Form2> first = instance->window();
    form->findChild<QAbstractButton *>("Command19")->click();
    QCOMPARE(app()->aboutWindow(), instance);
    QCOMPARE(instance->window(), first.data());
    QCOMPARE(shownAboutWindows().size(), 1);
    QVERIFY(!first->parentWidget());  // not owned by the main window
    first->close();
    flushDeletes();
    delete form;
}

void TestLifetime::aboutWindowRebuiltAfterClose() {
    app()->showAboutWindow();
    QPointer<Form2> window = app()->aboutWindow()->window();
    auto *author = window->findChild<QLabel *>("Label2");
    const QString designed = author->text();
    author->setText(QStringLiteral("changed"));

    window->findChild<QAbstractButton *>("Command1")->click();
    flushDeletes();
    QVERIFY(window.isNull());       // its widgets are destroyed
    QVERIFY(app()->aboutWindow());  // the instance stays

    app()->showAboutWindow();
    Form2 *again = app()->aboutWindow()->window();
    QVERIFY(again);
    QCOMPARE(again->findChild<QLabel *>("Label2")->text(), designed);
    again->close();  // the title bar's close box does the same
    flushDeletes();
    QVERIFY(!app()->aboutWindow()->window());
}

void TestLifetime::aboutWindowOutlivesMainWindow() {
    // The application ends when no window is left: count what is left.
    auto windowsLeft = [] {
        int n = 0;
        for (QWidget *w : QApplication::topLevelWidgets()) n += w->isVisible() ? 1 : 0;
        return n;
    };
    QPointer<Form1> form = new Form1(app()->services());
    form->show();
    app()->showAboutWindow();
    QPointer<Form2> about = app()->aboutWindow()->window();

    form->findChild<QAbstractButton *>("Command21")->click();
    flushDeletes();
    QVERIFY(form.isNull());
    QVERIFY(about && about->isVisible());
    QCOMPARE(windowsLeft(), 1);

    about->close();
    flushDeletes();
    QCOMPARE(windowsLeft(), 0);
}

void TestLifetime::recordAndBannerCarryTheBuiltVersion() {
    // What Qt was handed at start, and what the About window shows, are the
    // forms of the project's version made at build time.
    QCOMPARE(QCoreApplication::applicationName(), QString::fromLatin1(KalvexVersion::kShortName));
    QCOMPARE(QCoreApplication::applicationVersion(), QString::fromLatin1(KalvexVersion::kRecord));
    app()->showAboutWindow();
    QPointer<Form2> about = app()->aboutWindow()->window();
    QCOMPARE(about->findChild<QLabel *>("Label1")->text(),
             QString::fromLatin1(KalvexVersion::kLongName));
    about->close();
    flushDeletes();
}

void TestLifetime::uncaughtFailureIsReportedAndConsoleGoesOn() {
    Thrower thrower;
    // Logged as critical, with the failure's own text.
    QTest::ignoreMessage(QtCriticalMsg,
                         QRegularExpression(QStringLiteral("uncaught failure.*: handler failed$")));
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&thrower);
    // Still alive, and events still flow.
    bool delivered = false;
    QTimer::singleShot(0, this, [&] { delivered = true; });
    QTRY_VERIFY(delivered);
}

void TestLifetime::qtDialogsSpeakPolish() {
    // The test command installs Qt's translations; without them Qt's own
    // dialogs (the file dialog of saving and of the receive log) fall back
    // to English.
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFileInfo::exists(folder + QStringLiteral("/qtbase_pl.qm")))
        QSKIP("Qt's Polish translation (qt6-translations-l10n) is not installed");
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Szukaj w:"));
}

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    app.setQuitOnLastWindowClosed(false);  // the test decides when to end
    TestLifetime test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_lifetime.moc"
