// The console as an ordinary user: a child process that has dropped to a
// user id nobody uses. A device it may not open gives the open failure box,
// the system's reason on standard error, and "no permission" in the tooltip;
// a device it may open opens, lock file and all; a device whose stale lock
// file belongs to root, who alone may remove it, is taken all the same and
// held against other programs, and the log says why and how to remove the
// file; a second console, going around root's stale lock of another device
// in the same way, opens that one while the first holds its own. Needs root
// to change user.
#include "consolefixture.h"
#include "mscomm.h"
#include "portstate.h"
#include "ptydevice.h"

#include <QApplication>
#include <QDir>
#include <QHelpEvent>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kChildVariable[] = "KALVEX_UNPRIVILEGED_CHILD";

// The child: opens port 2 (forbidden), then port 3 (its own), then port 4
// (its own, behind root's stale lock file), and reports what the window
// showed, one "key: value" line each. Asked to hold, it keeps port 4 open
// until its standard input ends.
int runConsole(int argc, char **argv) {
    QApplication app(argc, argv);
    auto report = [](const char *key, const QString &value) {
        std::printf("%s: %s\n", key, value.toUtf8().constData());
    };
    report("uid", QString::number(::getuid()));
    ConsoleFixture c;
    c.press("Command1");
    report("failures", c.takeFailures().join(u'|'));
    report("open2", c.comm()->portOpen() ? "yes" : "no");

    auto *text7 = c.box("Text7");
    QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), text7->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(text7, &hover);
    QTextDocument tip;
    tip.setHtml(QToolTip::text());
    for (const QString &line : tip.toPlainText().split(u'\n')) report("tooltip", line);

    text7->setText(QStringLiteral("3"));
    c.press("Command1");
    report("open3", c.comm()->portOpen() ? "yes" : "no");

    c.press("Command2");
    text7->setText(QStringLiteral("4"));
    c.press("Command1");
    report("open4", c.comm()->portOpen() ? "yes" : "no");
    // Held with flock() by this process, as other programs see it.
    report("held4",
           PortState::probe(qEnvironmentVariable("RS232_PORT_4")).kind == PortState::OpenHere
               ? "yes"
               : "no");
    report("failures", c.takeFailures().join(u'|'));
    std::fflush(stdout);
    if (qEnvironmentVariable(kChildVariable) == QLatin1String("hold")) {
        report("holding", QStringLiteral("port 4"));
        std::fflush(stdout);
        char byte = 0;
        while (::read(STDIN_FILENO, &byte, 1) > 0) {
        }
    }
    return 0;
}

// A user and group id that no account uses.
uid_t unusedId() {
    for (uid_t id = 47000; id < 60000; ++id)
        if (!::getpwuid(id) && !::getgrgid(gid_t(id)))
            return id;
    return 0;
}

}  // namespace

class TestUnprivileged : public QObject {
    Q_OBJECT

private slots:
    void ordinaryUserGetsTheReason();
};

void TestUnprivileged::ordinaryUserGetsTheReason() {
    if (::getuid() != 0)
        QSKIP("changing to another user needs root");
    const uid_t id = unusedId();
    QVERIFY(id != 0);

    PtyDevice forbidden;  // root's alone
    PtyDevice own;        // the user's
    PtyDevice stale;      // the user's, with root's stale lock file
    PtyDevice stale2;     // the same, for a second console
    QVERIFY(forbidden.isValid() && own.isValid() && stale.isValid() && stale2.isValid());
    QCOMPARE(::chmod(QFile::encodeName(forbidden.slaveName()).constData(), 0600), 0);
    for (const PtyDevice *device : {&own, &stale, &stale2})
        QCOMPARE(::chown(QFile::encodeName(device->slaveName()).constData(), id, id), 0);

    // Root's lock file, naming a process that has ended, in the sticky lock
    // folder: nobody else may remove it.
    const QString lockDir = QFileInfo(QStringLiteral("/var/lock")).canonicalFilePath();
    QVERIFY2(QFileInfo(lockDir).isDir() && (QFileInfo(lockDir).permissions() & QFile::WriteOther),
             "the lock folder is not open to every user");
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    QVERIFY(ended > 0 && ::waitpid(ended, nullptr, 0) == ended);
    const auto lockOf = [&lockDir](const PtyDevice &device) {
        return lockDir + "/LCK.." +
               device.slaveName().remove(QStringLiteral("/dev/")).replace(u'/', u'_');
    };
    const QString lock = lockOf(stale);
    for (const QString &path : {lock, lockOf(stale2)}) {
        QFile lockFile(path);
        QVERIFY(lockFile.open(QIODevice::WriteOnly | QIODevice::NewOnly));
        lockFile.write(QString::asprintf("%10d\n", int(ended)).toLatin1());
    }
    auto removeLocks = qScopeGuard([&] {
        QFile::remove(lock);
        QFile::remove(lockOf(stale2));
    });
    QTemporaryDir home;
    QCOMPARE(::chown(QFile::encodeName(home.path()).constData(), id, id), 0);

    // Two consoles as the user, started alike, so that they hold alike
    // descriptors: the first holds its port 4 while the second opens its own.
    const auto startConsole = [&](QProcess &console, const char *mode, const PtyDevice &port4) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kChildVariable, mode);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", home.path());
        env.remove("XDG_RUNTIME_DIR");
        env.insert("RS232_PORT_2", forbidden.slaveName());
        env.insert("RS232_PORT_3", own.slaveName());
        env.insert("RS232_PORT_4", port4.slaveName());
        console.setProcessEnvironment(env);
        console.setChildProcessModifier([id] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(id) != 0 || ::setuid(id) != 0)
                ::_exit(99);
        });
        console.start(QCoreApplication::applicationFilePath(), {});
    };
    QProcess console;
    startConsole(console, "hold", stale);
    // Let go, and so closed, whatever happens below: a console killed leaves
    // its lock file behind.
    auto letGo = qScopeGuard([&console] {
        console.closeWriteChannel();
        console.waitForFinished(60000);
    });
    QString out;
    while (!out.contains("holding: ") && console.waitForReadyRead(60000))
        out += QString::fromUtf8(console.readAllStandardOutput());
    QVERIFY2(out.contains("holding: "), qPrintable(out));

    QProcess second;
    startConsole(second, "1", stale2);
    QVERIFY(second.waitForFinished(60000));
    const QString secondOut = QString::fromUtf8(second.readAllStandardOutput());
    QVERIFY2(secondOut.contains("open4: yes\nheld4: yes\nfailures: \n"),
             qPrintable(secondOut + QString::fromUtf8(second.readAllStandardError())));

    console.closeWriteChannel();
    QVERIFY(console.waitForFinished(60000));
    out += QString::fromUtf8(console.readAllStandardOutput());
    const QString err = QString::fromUtf8(console.readAllStandardError());
    QVERIFY2(console.exitStatus() == QProcess::NormalExit && console.exitCode() == 0,
             qPrintable(out + err));

    QVERIFY2(out.contains(QStringLiteral("uid: %1\n").arg(id)), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("failures: %1\nopen2: no\n").arg(kOpenFailure)),
             qPrintable(out));
    QVERIFY2(err.contains(
                 QStringLiteral("port 2 (%1): %2\n")
                     .arg(forbidden.slaveName(), QString::fromLocal8Bit(std::strerror(EACCES)))),
             qPrintable(err));
    QVERIFY2(out.contains(QStringLiteral("tooltip: 2: %1 — przypisany (RS232_PORT_2) — brak "
                                         "uprawnień: dołącz do grupy dialout i zaloguj się "
                                         "ponownie\n")
                              .arg(forbidden.slaveName())),
             qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("tooltip: 3: %1 — przypisany (RS232_PORT_3) — wolny\n")
                              .arg(own.slaveName())),
             qPrintable(out));
    QVERIFY2(out.contains("open3: yes\n"), qPrintable(out + err));

    QVERIFY2(out.contains("open4: yes\nheld4: yes\nfailures: \n"), qPrintable(out + err));
    QVERIFY2(err.contains(QStringLiteral("port 4 (%1): stale lock file %2 (process %3 has ended) "
                                         "belongs to root and cannot be removed: %4; the port is "
                                         "taken with flock and TIOCEXCL instead; to remove it: "
                                         "sudo rm %2\n")
                              .arg(stale.slaveName(), lock)
                              .arg(ended)
                              .arg(QString::fromLocal8Bit(std::strerror(EPERM)))),
             qPrintable(err));
    QVERIFY(QFile::exists(lock));
    // Qt SerialPort's own lock files, under the names they were given, went
    // with the ports.
    for (const PtyDevice *device : {&stale, &stale2}) {
        const QString name = device->slaveName().replace(u'/', u'_');
        QCOMPARE(QDir(lockDir).entryList({"LCK.._proc_self*" + name}, QDir::Files), QStringList());
    }
}

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsSet(kChildVariable))
        return runConsole(argc, argv);
    QCoreApplication app(argc, argv);
    TestUnprivileged test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_unprivileged.moc"
