// One port, one program, whatever path names it: lock files under the real
// device's name, flock(), a second console through another symlink, and
// what the tooltip sees of all that without opening the port. Other programs
// are played by forked processes that hold a lock file or flock().
#include "consolefixture.h"
#include "mscomm.h"
#include "portstate.h"
#include "ptydevice.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>

namespace {

const QString kLockDirectory = QStringLiteral("/var/lock");

// The UUCP lock file of a device: LCK.. and its path below /dev, '/' as '_'.
QString lockFile(const QString &device) {
    return kLockDirectory + "/LCK.." + QString(device).remove(0, 5).replace(u'/', u'_');
}

// Another program, as a forked process named "kalvex-holder": it sleeps, or
// holds flock() on a device, until it is ended.
class OtherProgram {
public:
    enum Hold { Nothing, Flock };

    OtherProgram(Hold hold, const QString &device = {}) {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        const QByteArray path = QFile::encodeName(device);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_NAME, "kalvex-holder");
            char ok = 1;
            if (hold == Flock) {
                const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
                ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
            }
            [[maybe_unused]] ssize_t n = ::write(ready[1], &ok, 1);
            for (;;) ::pause();
        }
        ::close(ready[1]);
        char ok = 0;
        m_ready = ::read(ready[0], &ok, 1) == 1 && ok;
        ::close(ready[0]);
    }
    ~OtherProgram() { end(); }

    bool isReady() const { return m_pid > 0 && m_ready; }
    pid_t pid() const { return m_pid; }

    void end() {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
};

// What another program gets when it tries to take the device: the open
// (refused by TIOCEXCL unless it is root), then flock() (EWOULDBLOCK when
// refused) in a forked process; then the lock file (EEXIST when refused).
struct Attempt {
    QString refusedBy;  // "TIOCEXCL", "flock" or "nothing"
    int lockFileError = -1;
};

Attempt otherProgramTries(const QString &device) {
    const QByteArray path = QFile::encodeName(device);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            ::_exit(errno == EBUSY ? 1 : 3);
        ::_exit(::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : errno == EWOULDBLOCK ? 2 : 3);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    Attempt attempt;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 3;
    attempt.refusedBy = QStringList{"nothing", "TIOCEXCL", "flock", "failure"}.at(code);
    const int fd =
        ::open(QFile::encodeName(lockFile(device)).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    attempt.lockFileError = fd < 0 ? errno : 0;
    if (fd >= 0) {
        ::close(fd);
        QFile::remove(lockFile(device));
    }
    return attempt;
}

// The process id at the head of a lock file.
QByteArray lockPid(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readLine().simplified().split(' ').first();
}

speed_t outputSpeed(int fd) {
    termios tio{};
    tcgetattr(fd, &tio);
    return cfgetospeed(&tio);
}

}  // namespace

class TestExclusion : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void lockFileOfLiveProcessRefuses_data();
    void lockFileOfLiveProcessRefuses();
    void flockHolderRefusesBeforeAnythingChanges();
    void secondConsoleThroughAnotherSymlinkRefused();
    void heldPortRefusesOtherPrograms();
    void statesSeenWithoutOpening();

private:
    std::unique_ptr<PtyDevice> m_pty;
    QTemporaryDir m_links;
    // A symlink to the pty, as the simulator makes one. Its name is Polish, so
    // that every case here also shows a file name beyond ASCII reaching the
    // system and the log intact, in whatever locale the suite runs.
    QString m_link;
};

void TestExclusion::initTestCase() {
    if (!QFileInfo(kLockDirectory).isWritable())
        QSKIP("the lock directory is not writable here");
    QVERIFY(m_links.isValid());
}

void TestExclusion::init() {
    m_pty = std::make_unique<PtyDevice>();
    QVERIFY(m_pty->isValid());
    m_link = m_links.filePath(QStringLiteral("łącze 2"));
    QFile::remove(m_link);
    QVERIFY(QFile::link(m_pty->slaveName(), m_link));
    qputenv("RS232_PORT_2", QFile::encodeName(m_link));
}

void TestExclusion::cleanup() {
    if (m_pty)
        QFile::remove(lockFile(m_pty->slaveName()));
    m_pty.reset();
    qunsetenv("RS232_PORT_2");
    qunsetenv("RS232_PORT_3");
}

void TestExclusion::lockFileOfLiveProcessRefuses_data() {
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("HDB") << QByteArray("%10d\n");
    QTest::newRow("Qt") << QByteArray("%d\nkalvex-holder\nhost\n");
    QTest::newRow("minicom") << QByteArray("%10d minicom root\n");
    QTest::newRow("binary") << QByteArray();  // the old 4-byte form
}

void TestExclusion::lockFileOfLiveProcessRefuses() {
    QFETCH(QByteArray, format);
    OtherProgram other(OtherProgram::Nothing);
    QVERIFY(other.isReady());
    const QString lock = lockFile(m_pty->slaveName());
    QFile file(lock);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const qint32 pid = other.pid();
    file.write(format.isEmpty() ? QByteArray(reinterpret_cast<const char *>(&pid), sizeof pid)
                                : QString::asprintf(format.constData(), pid).toLatin1());
    file.close();

    ConsoleFixture c;
    // The real device is named in the reason, with the holder and its file.
    QTest::ignoreMessage(
        QtWarningMsg, QRegularExpression(
                          QStringLiteral("^port 2 \\(%1 -> %2\\): in use by process %3 "
                                         "\\(kalvex-holder\\) \\(lock file .*LCK\\.\\.pts_\\d+\\)$")
                              .arg(QRegularExpression::escape(m_link),
                                   QRegularExpression::escape(m_pty->slaveName()))
                              .arg(other.pid())));
    c.press("Command1");
    QCOMPARE(c.takeFailures(), QStringList{kOpenFailure});
    QVERIFY(!c.comm()->portOpen());
    QVERIFY(QFile::exists(lock));

    // Its process ends: the lock is stale and never blocks.
    other.end();
    c.press("Command1");
    QVERIFY(c.takeFailures().isEmpty());
    QVERIFY(c.comm()->portOpen());
    QCOMPARE(lockPid(lock), QByteArray::number(::getpid()));
    c.press("Command2");
    QVERIFY(!QFile::exists(lock));
}

void TestExclusion::flockHolderRefusesBeforeAnythingChanges() {
    // Another program (picocom does this) holds flock() on the pty at its own
    // speed. The console refuses the port without touching its settings.
    termios tio{};
    tcgetattr(m_pty->slaveFd(), &tio);
    cfsetspeed(&tio, B115200);
    tcsetattr(m_pty->slaveFd(), TCSANOW, &tio);
    OtherProgram other(OtherProgram::Flock, m_pty->slaveName());
    QVERIFY(other.isReady());

    ConsoleFixture c;
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("^port 2 \\(.*\\): in use by process "
                                                           "%1 \\(kalvex-holder\\) \\(flock\\)$")
                                                .arg(other.pid())));
    c.press("Command1");
    QCOMPARE(c.takeFailures(), QStringList{kOpenFailure});
    QVERIFY(!c.comm()->portOpen());
    QCOMPARE(outputSpeed(m_pty->slaveFd()), speed_t(B115200));
    QVERIFY(!QFile::exists(lockFile(m_pty->slaveName())));

    other.end();
    c.press("Command1");
    QVERIFY(c.takeFailures().isEmpty());
    QVERIFY(c.comm()->portOpen());
    QCOMPARE(outputSpeed(m_pty->slaveFd()), speed_t(B9600));
}

void TestExclusion::secondConsoleThroughAnotherSymlinkRefused() {
    const QString otherLink = m_links.filePath(QStringLiteral("inne łącze"));
    QFile::remove(otherLink);
    QVERIFY(QFile::link(m_pty->slaveName(), otherLink));
    qputenv("RS232_PORT_3", QFile::encodeName(otherLink));

    ConsoleFixture first;
    first.press("Command1");
    QVERIFY(first.comm()->portOpen());

    ConsoleFixture second;
    second.box("Text7")->setText(QStringLiteral("3"));
    QTest::ignoreMessage(
        QtWarningMsg,
        QRegularExpression(
            QStringLiteral("^port 3 \\(%1 -> .*\\): in use by process %2 .*\\(lock file .*\\)$")
                .arg(QRegularExpression::escape(otherLink))
                .arg(::getpid())));
    second.press("Command1");
    QCOMPARE(second.takeFailures(), QStringList{kOpenFailure});
    QVERIFY(!second.comm()->portOpen());

    // The first keeps the port, alone.
    first.press("Command10");
    QCOMPARE(m_pty->readAtLeast(5), QByteArray("DSTA\r"));
    first.press("Command2");
    second.press("Command1");
    QVERIFY(second.takeFailures().isEmpty());
    QVERIFY(second.comm()->portOpen());
    QFile::remove(otherLink);
}

void TestExclusion::heldPortRefusesOtherPrograms() {
    const QString lock = lockFile(m_pty->slaveName());
    {
        ConsoleFixture c;
        c.press("Command1");
        QVERIFY(c.comm()->portOpen());
        // The lock file is named after the real device, not the symlink, and
        // names this process.
        QCOMPARE(lockPid(lock), QByteArray::number(::getpid()));
        QVERIFY(!QFile::exists(kLockDirectory + "/LCK.." + QString(m_link).replace(u'/', u'_')));
        // TIOCEXCL does not bind root; flock() does.
        const Attempt attempt = otherProgramTries(m_pty->slaveName());
        QCOMPARE(attempt.refusedBy, ::getuid() == 0 ? "flock" : "TIOCEXCL");
        QCOMPARE(attempt.lockFileError, EEXIST);

        c.press("Command2");
        QVERIFY(!QFile::exists(lock));
        const Attempt free = otherProgramTries(m_pty->slaveName());
        QCOMPARE(free.refusedBy, QStringLiteral("nothing"));
        QCOMPARE(free.lockFileError, 0);

        c.press("Command1");
        QVERIFY(c.comm()->portOpen());
    }
    // Destroyed with its window: both released.
    QVERIFY(!QFile::exists(lock));
    QCOMPARE(otherProgramTries(m_pty->slaveName()).refusedBy, QStringLiteral("nothing"));
}

void TestExclusion::statesSeenWithoutOpening() {
    const QString device = m_pty->slaveName();
    QCOMPARE(PortState::probe(m_link).kind, PortState::Free);
    QCOMPARE(PortState::probe(device).kind, PortState::Free);
    QCOMPARE(PortState::probe(m_links.filePath("nothing")).kind, PortState::Missing);

    {
        OtherProgram holder(OtherProgram::Flock, device);
        QVERIFY(holder.isReady());
        const PortState state = PortState::probe(m_link);
        QCOMPARE(state.kind, PortState::InUse);
        QCOMPARE(state.pid, qint64(holder.pid()));
        QCOMPARE(state.program, QStringLiteral("kalvex-holder"));
    }
    {
        OtherProgram holder(OtherProgram::Nothing);
        QFile file(lockFile(device));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QString::asprintf("%10d\n", int(holder.pid())).toLatin1());
        file.close();
        QCOMPARE(PortState::probe(m_link).kind, PortState::InUse);
        QCOMPARE(PortState::probe(m_link).pid, qint64(holder.pid()));
        holder.end();
        QCOMPARE(PortState::probe(m_link).kind, PortState::Free);  // stale
        QFile::remove(lockFile(device));
    }

    ConsoleFixture c;
    c.press("Command1");
    QCOMPARE(PortState::probe(m_link).kind, PortState::OpenHere);
    c.press("Command2");
    QCOMPARE(PortState::probe(m_link).kind, PortState::Free);
}

QTEST_MAIN(TestExclusion)
#include "tst_exclusion.moc"
