// Ending the console by a signal, as at logout or from a terminal: the
// console runs in a child process, as the program does, with its port open
// on a pty; after SIGTERM, SIGINT or SIGHUP the process ends by that signal,
// the port is free again and no lock file is left. A receive log whose last
// sync fails then makes it end with a failure status instead, and standard
// error says why.
#include "application.h"
#include "disksync.h"
#include "form1.h"
#include "mscomm.h"
#include "ptydevice.h"
#include "receivelog.h"

#include <QAbstractButton>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr char kChildVariable[] = "KALVEX_SIGNALS_CHILD";
constexpr char kLogVariable[] = "KALVEX_SIGNALS_LOG";

// The console as main() runs it, pressing "Otwórz port" (and "O
// programie..." when asked) once it runs; it reports whether the port opened.
// Asked for a log, it starts with one whose syncs fail.
int runConsole(int argc, char **argv) {
    Application app(argc, argv);
    app.endOnTerminationSignals();
    app.services().ports = PortDirectory::fromEnvironment();
    if (const QString log = qEnvironmentVariable(kLogVariable); !log.isEmpty()) {
        app.services().log.start(log, ReceiveLog::Existing::Append);
        DiskSync::failFor(log);
    }
    auto *form1 = new Form1(app.services());
    QObject::connect(form1, &Form1::aboutRequested, &app, &Application::showAboutWindow);
    form1->show();
    QTimer::singleShot(0, form1, [form1] {
        form1->findChild<QAbstractButton *>("Command1")->click();
        if (qEnvironmentVariable(kChildVariable) == QLatin1String("about"))
            form1->findChild<QAbstractButton *>("Command19")->click();
        std::printf("%s\n", form1->findChild<MSComm *>("MSComm1")->portOpen() ? "open" : "closed");
        std::fflush(stdout);
    });
    return app.exitStatus(app.exec());
}

QString lockFile(const QString &device) {
    return "/var/lock/LCK.." + QString(device).remove(0, 5).replace(u'/', u'_');
}

bool freeForFlock(const QString &device) {
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

}  // namespace

class TestSignals : public QObject {
    Q_OBJECT

private slots:
    void signalEndsConsoleAndFreesPort_data();
    void signalEndsConsoleAndFreesPort();
};

void TestSignals::signalEndsConsoleAndFreesPort_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("failingLog");
    QTest::newRow("SIGTERM") << int(SIGTERM) << "plain" << false;
    QTest::newRow("SIGINT") << int(SIGINT) << "plain" << false;
    QTest::newRow("SIGHUP, About window open") << int(SIGHUP) << "about" << false;
    QTest::newRow("SIGTERM, the log's last sync fails") << int(SIGTERM) << "plain" << true;
}

void TestSignals::signalEndsConsoleAndFreesPort() {
    QFETCH(int, signal);
    QFETCH(QString, mode);
    QFETCH(bool, failingLog);
    PtyDevice pty;
    QVERIFY(pty.isValid());
    pty.closeSlave();
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("capture.log"));

    QProcess console;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildVariable, mode);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("RS232_PORT_2", pty.slaveName());
    if (failingLog)
        env.insert(kLogVariable, log);
    console.setProcessEnvironment(env);
    console.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(console.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(console.canReadLine(), 20000);
    QCOMPARE(console.readLine().trimmed(), QByteArray("open"));

    const QString lock = lockFile(pty.slaveName());
    QVERIFY(QFile::exists(lock));
    QVERIFY(!freeForFlock(pty.slaveName()));

    ::kill(pid_t(console.processId()), signal);
    QVERIFY(console.waitForFinished(20000));
    const QString err = QString::fromLocal8Bit(console.readAllStandardError());
    if (failingLog) {
        QCOMPARE(console.exitStatus(), QProcess::NormalExit);
        QCOMPARE(console.exitCode(), EXIT_FAILURE);
        QVERIFY2(err.contains(
                     QStringLiteral("receive log: file %1: the last sync to the disk failed: %2")
                         .arg(log, qt_error_string(EIO))),
                 qPrintable(err));
    } else {
        QCOMPARE(console.exitStatus(), QProcess::CrashExit);  // ended by the signal
        QCOMPARE(console.exitCode(), signal);
        QVERIFY2(!err.contains(QStringLiteral("receive log")), qPrintable(err));
    }
    QVERIFY2(!QFile::exists(lock), qPrintable(lock));
    QVERIFY(freeForFlock(pty.slaveName()));
}

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsSet(kChildVariable))
        return runConsole(argc, argv);
    QCoreApplication app(argc, argv);
    TestSignals test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_signals.moc"
