// The receive log: every received chunk in the file exactly as it came,
// written before the DATA view gets it; appending to a file or replacing it;
// a log that goes on across closing and reopening the port and a device
// that vanishes and comes back; a write or a sync that fails, or the file
// deleted or replaced by another program, stops the log with one failure
// box, told at the first tick after it while the line is idle, and the view
// goes on; a path that cannot be looked at for a moment, or a file that
// logrotate shortened, costs no byte.
#include "codepage.h"
#include "consolefixture.h"
#include "dataview.h"
#include "dataview_p.h"
#include "disksync.h"
#include "form1.h"
#include "mscomm.h"
#include "ptydevice.h"
#include "receivelog.h"
#include "receivelogcontrol.h"

#include <QAction>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <errno.h>
#include <chrono>
#include <cstdio>
#include <mutex>

namespace {

using namespace std::chrono_literals;

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// What a LogSync told, each failure with the tick that told it.
class ToldFailures {
public:
    LogSync::Failed recorder(const LogSync *const &sync) {
        return [this, &sync](quint64, const FileFailure &failure) {
            const std::lock_guard lock(m_mutex);
            m_told.push_back({sync->ticks(), failure});
        };
    }
    std::vector<std::pair<quint64, FileFailure>> all() {
        const std::lock_guard lock(m_mutex);
        return m_told;
    }

private:
    std::mutex m_mutex;
    std::vector<std::pair<quint64, FileFailure>> m_told;
};

#ifndef Q_OS_WIN
// Points a symbolic link at target, in one step (a new link renamed over
// the old one): at itself, a path through it cannot be looked at (ELOOP, for
// root too).
bool pointLink(const QString &link, const QString &target) {
    const QString made = link + QStringLiteral(".new");
    return QFile::link(target, made) && std::rename(QFile::encodeName(made).constData(),
                                                    QFile::encodeName(link).constData()) == 0;
}
#endif

bool waitForTicks(const std::function<quint64()> &ticks, quint64 until) {
    return QTest::qWaitFor([&] { return ticks() >= until; }, 20000);
}

}  // namespace

class TestReceiveLog : public QObject {
    Q_OBJECT

private slots:
    void init();

    void appendOrReplace();
    void floodIsLoggedExactly();
    void goesOnAcrossPortCloseAndVanishedDevice();
    void failedWriteStopsLogViewGoesOn();
    void failureIsToldAtTheFirstTickAfterIt_data();
    void failureIsToldAtTheFirstTickAfterIt();
    void failureStopsLogWithOneBox_data();
    void failureStopsLogWithOneBox();
    void pathThatCannotBeLookedAtCostsNoByte();
    void fileShortenedByLogrotateIsWrittenOn();
    void failedLastSyncIsToldOnStop();

private:
    // Starts the window's log on path, as the operator's choice would.
    static void startLog(ConsoleFixture &c, const QString &path);

    std::unique_ptr<PtyDevice> m_pty;
    QTemporaryDir m_dir;
};

void TestReceiveLog::init() {
    QVERIFY(m_dir.isValid());
    m_pty = std::make_unique<PtyDevice>();
    QVERIFY(m_pty->isValid());
    m_pty->mapToPort(2);
}

void TestReceiveLog::startLog(ConsoleFixture &c, const QString &path) {
    auto *control = c.dataView()->findChild<ReceiveLogControl *>();
    QVERIFY(control);
    control->start(path, ReceiveLog::Existing::Append);
    QVERIFY(c.receiveLog()->isOn());
}

void TestReceiveLog::appendOrReplace() {
    const QString path = m_dir.filePath(QStringLiteral("existing.log"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("before|");
    }
    ReceiveLog log;
    QSignalSpy changed(&log, &ReceiveLog::stateChanged);
    log.start(path, ReceiveLog::Existing::Append);
    log.append("one\r");
    log.append("two\n");
    QCOMPARE(readFile(path), QByteArray("before|one\rtwo\n"));  // written, not buffered
    log.stop();
    log.start(path, ReceiveLog::Existing::Replace);
    const QByteArray three("\0three", 6);
    log.append(three);
    QCOMPARE(readFile(path), three);
    QCOMPARE(changed.size(), 3);
}

void TestReceiveLog::floodIsLoggedExactly() {
    const QString path = m_dir.filePath(QStringLiteral("flood.log"));
    ConsoleFixture c;
    startLog(c, path);
    c.press("Command1");
    QRandomGenerator rng(20261208);
    QByteArray stream(20 * 1024 * 1024, Qt::Uninitialized);
    for (char &byte : stream) byte = char(rng.bounded(256));
    for (qsizetype at = 0; at < stream.size();) {
        const qsizetype size = qMin<qsizetype>(1 + rng.bounded(64 * 1024), stream.size() - at);
        QVERIFY(m_pty->send(stream.mid(at, size)));
        at += size;
    }
    const EditingModel &model = DataViewPrivate::get(c.dataView())->model();
    // Each chunk is in the file by the time the view shows it.
    int behind = 0;
    const QMetaObject::Connection shown = QObject::connect(&model, &EditingModel::textChanged, [&] {
        if (QFileInfo(path).size() < model.length() - 6)
            ++behind;
    });
    QTRY_COMPARE_WITH_TIMEOUT(model.length(), stream.size() + 6, 60000);
    QObject::disconnect(shown);
    QCOMPARE(behind, 0);
    // Read while the log is still on: every chunk is in the file already.
    QVERIFY(readFile(path) == stream);
    QVERIFY(c.dataView()->text() == QStringLiteral("DATA\r\n") + CodePage::decode(stream));
}

void TestReceiveLog::goesOnAcrossPortCloseAndVanishedDevice() {
    const QString path = m_dir.filePath(QStringLiteral("session.log"));
    LinkedPty device;
    PtyDevice *pty = &device.pty();
    ConsoleFixture c;
    auto *control = c.dataView()->findChild<ReceiveLogControl *>();
    auto *label = c.window()->findChild<QLabel *>(QStringLiteral("receiveLogLabel"));
    QVERIFY(label && label->isHidden() && !control->action()->isChecked());
    startLog(c, path);
    // The operator sees the log, and its file, without opening a menu.
    QVERIFY(label->isVisible() && control->action()->isChecked());
    // Where Qt finds no fonts (a Wine prefix without any), no name fits.
    if (QFontDatabase::families().isEmpty())
        qInfo("no fonts: the file's name in the label is not checked");
    else
        QVERIFY2(label->text().contains(QStringLiteral("session.log")), qPrintable(label->text()));
    QVERIFY(label->toolTip().contains(QDir::toNativeSeparators(path)));

    c.press("Command1");
    pty->send("one\r\n");
    QTRY_VERIFY(c.dataView()->text().endsWith("one\r\n"));
    c.press("Command2");
    c.press("Command1");
    pty->send("two\r");
    QTRY_VERIFY(c.dataView()->text().endsWith("two\r"));
    // The adapter is pulled out; a new one takes port 2.
    pty->send("last");
    QTRY_VERIFY(c.dataView()->text().endsWith("last"));
    device.pullOut();
    QTRY_VERIFY(!c.comm()->portOpen());
    c.press("Command2");
    QVERIFY(device.plugIn());
    pty = &device.pty();
    c.press("Command1");
    QVERIFY(c.comm()->portOpen());
    pty->send("three\n");
    QTRY_VERIFY(c.dataView()->text().endsWith("three\n"));
    QCOMPARE(readFile(path), QByteArray("one\r\ntwo\rlastthree\n"));
    QCOMPARE(QStringLiteral("DATA\r\n") + QString::fromLatin1(readFile(path)),
             c.dataView()->text());

    control->toggle();  // unchecking the entry
    QVERIFY(!c.receiveLog()->isOn());
    QVERIFY(label->isHidden() && !control->action()->isChecked());
    pty->send("after");
    QTRY_VERIFY(c.dataView()->text().endsWith("after"));
    QCOMPARE(readFile(path), QByteArray("one\r\ntwo\rlastthree\n"));
    QVERIFY(c.takeFailures().isEmpty());
}

void TestReceiveLog::failedWriteStopsLogViewGoesOn() {
    // A disk that is full from the first byte.
    const QString full = QStringLiteral("/dev/full");
    if (!QFileInfo::exists(full))
        QSKIP("no /dev/full");
    ConsoleFixture c;
    startLog(c, full);
    QSignalSpy failed(c.receiveLog(), &ReceiveLog::failed);
    c.press("Command1");
    m_pty->send("abc");
    QTRY_VERIFY(c.dataView()->text().endsWith("abc"));
    QCOMPARE(failed.size(), 1);
    QVERIFY(!c.receiveLog()->isOn());
    m_pty->send("def");
    QTRY_VERIFY(c.dataView()->text().endsWith("abcdef"));

    const QStringList failures = c.takeFailures();
    QCOMPARE(failures.size(), 1);
    QVERIFY2(failures.first().contains(full) && failures.first().contains(qt_error_string(ENOSPC)),
             qPrintable(failures.first()));
}

void TestReceiveLog::failureIsToldAtTheFirstTickAfterIt_data() {
    QTest::addColumn<QString>("cause");
    QTest::addColumn<FileFailure::Kind>("kind");
    QTest::newRow("sync fails") << "sync" << FileFailure::Kind::Sync;
    QTest::newRow("file deleted") << "deleted" << FileFailure::Kind::Deleted;
    QTest::newRow("file replaced") << "replaced" << FileFailure::Kind::Replaced;
}

// Counted in ticks, so that a busy machine, which delays ticks, changes
// nothing: every tick begun once the failure is there finds it, and tells
// it once, however many ticks follow.
void TestReceiveLog::failureIsToldAtTheFirstTickAfterIt() {
    QFETCH(QString, cause);
#ifdef Q_OS_WIN
    QSKIP(cause == QLatin1String("sync")
              ? "the disk's sync fails on request through fdatasync, Linux's (disksync.h)"
              : "Windows lets no other program delete or replace a file that the log holds open");
#else
    QFETCH(FileFailure::Kind, kind);
    const QString path = m_dir.filePath(cause + QStringLiteral(".log"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    ToldFailures told;
    const LogSync *sync = nullptr;
    LogSync syncing(told.recorder(sync), 20ms);
    sync = &syncing;
    syncing.follow(file.handle(), path);
    QVERIFY(waitForTicks([&] { return syncing.ticks(); }, 3));
    auto healed = qScopeGuard([] { DiskSync::clear(); });
    if (cause == QLatin1String("sync")) {
        DiskSync::failFor(path);  // as on a stick pulled out
        QCOMPARE(file.write("abc"), 3);
        syncing.written();
    } else if (cause == QLatin1String("deleted")) {
        QVERIFY(QFile::remove(path));
    } else {
        // As another program's save does: a new file renamed into place.
        QFile other(m_dir.filePath(QStringLiteral("other")));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();
        QVERIFY(std::rename(QFile::encodeName(other.fileName()).constData(),
                            QFile::encodeName(path).constData()) == 0);
    }
    const quint64 begun = syncing.ticks();

    QVERIFY(QTest::qWaitFor([&] { return !told.all().empty(); }, 20000));
    const quint64 toldAt = told.all().front().first;
    QVERIFY(waitForTicks([&] { return syncing.ticks(); }, toldAt + 3));
    const auto failures = told.all();
    QCOMPARE(failures.size(), size_t(1));
    QVERIFY2(toldAt <= begun + 1,
             qPrintable(QStringLiteral("told at tick %1, after %2").arg(toldAt).arg(begun)));
    QCOMPARE(failures.front().second.kind, kind);
    QCOMPARE(failures.front().second.fileName, path);
    if (kind == FileFailure::Kind::Sync)
        QCOMPARE(failures.front().second.reason, qt_error_string(EIO));
#endif
}

void TestReceiveLog::failureStopsLogWithOneBox_data() {
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("told");
    QTest::newRow("sync fails") << "sync" << qt_error_string(EIO);
    QTest::newRow("file deleted") << "deleted"
                                  << "został usunięty.";
    QTest::newRow("file replaced") << "replaced"
                                   << "został zastąpiony przez inny program.";
}

void TestReceiveLog::failureStopsLogWithOneBox() {
    QFETCH(QString, cause);
    QFETCH(QString, told);
#ifdef Q_OS_WIN
    QSKIP(cause == QLatin1String("sync")
              ? "the disk's sync fails on request through fdatasync, Linux's (disksync.h)"
              : "Windows lets no other program delete or replace a file that the log holds open");
#endif
    const QString path = m_dir.filePath(cause + QStringLiteral(".log"));
    ConsoleFixture c;
    startLog(c, path);
    ReceiveLog *log = c.receiveLog();
#ifndef Q_OS_WIN
    if (cause == QLatin1String("sync"))
        DiskSync::failFor(path);  // as on a stick pulled out
    auto healed = qScopeGuard([] { DiskSync::clear(); });
#endif
    c.press("Command1");
    m_pty->send("abc");
    QTRY_VERIFY(c.dataView()->text().endsWith("abc"));
    if (cause == QLatin1String("deleted")) {
        QVERIFY(QFile::remove(path));
    } else if (cause == QLatin1String("replaced")) {
        QFile other(m_dir.filePath(QStringLiteral("other")));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();
        QVERIFY(std::rename(QFile::encodeName(other.fileName()).constData(),
                            QFile::encodeName(path).constData()) == 0);
    }

    // Nothing more arrives: a tick finds it (how soon is LogSync's to
    // keep), and it is said once.
    QTRY_VERIFY_WITH_TIMEOUT(!log->isOn(), 20000);
    QStringList failures;
    QTRY_VERIFY(!(failures += c.takeFailures()).isEmpty());
    QTest::qWait(300);  // whatever else was on its way
    failures += c.takeFailures();
    QCOMPARE(failures.size(), 1);
    QVERIFY2(failures.first().contains(path) && failures.first().contains(told),
             qPrintable(failures.first()));
    auto *label = c.window()->findChild<QLabel *>(QStringLiteral("receiveLogLabel"));
    QVERIFY2(label->isVisible() && label->text().contains(QStringLiteral("zatrzymany")),
             qPrintable(label->text()));
    QVERIFY(!c.dataView()->findChild<ReceiveLogControl *>()->action()->isChecked());
}

// A folder that cannot be looked into for a moment (here a link that leads
// to itself, which root meets too; on a network share ESTALE or EIO) says
// nothing of the file: the log goes on into it, and only a look that fails
// for kLookPatience ticks in a row is told, with the system's reason, once,
// the log going on still.
void TestReceiveLog::pathThatCannotBeLookedAtCostsNoByte() {
#ifdef Q_OS_WIN
    QSKIP("the path is made unreadable through a symbolic link that leads to itself, POSIX's");
#else
    const QString real = m_dir.filePath(QStringLiteral("real"));
    const QString link = m_dir.filePath(QStringLiteral("link"));
    QVERIFY(QDir().mkpath(real) && pointLink(link, real));
    const QString path = link + QStringLiteral("/capture.log");
    ReceiveLog log(nullptr, 20ms);
    QSignalSpy failed(&log, &ReceiveLog::failed);
    QSignalSpy unverified(&log, &ReceiveLog::unverified);
    const auto ticks = [&log] { return log.syncTicks(); };
    log.start(path, ReceiveLog::Existing::Replace);

    QVERIFY(pointLink(link, link));
    log.append("one ");
    QVERIFY(waitForTicks(ticks, ticks() + 5));
    log.append("two ");
    QVERIFY(pointLink(link, real));
    QVERIFY(waitForTicks(ticks, ticks() + 3));
    QCoreApplication::processEvents();
    QVERIFY(log.isOn() && failed.isEmpty() && unverified.isEmpty());

    QVERIFY(pointLink(link, link));
    const quint64 begun = ticks();
    // The first failed look is at tick begun or the one after; the patience
    // ends kLookPatience - 1 ticks later.
    QVERIFY(waitForTicks(ticks, begun + LogSync::kLookPatience - 1));
    QCoreApplication::processEvents();
    QVERIFY(unverified.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(unverified.size(), 1, 20000);
    const auto failure = unverified.first().first().value<FileFailure>();
    QCOMPARE(failure.kind, FileFailure::Kind::Unverified);
    QCOMPARE(failure.reason, qt_error_string(ELOOP));
    log.append("three");
    QVERIFY(waitForTicks(ticks, ticks() + 3));
    QCoreApplication::processEvents();
    QVERIFY(log.isOn() && failed.isEmpty() && unverified.size() == 1);
    QCOMPARE(readFile(real + QStringLiteral("/capture.log")), QByteArray("one two three"));
#endif
}

// logrotate's copytruncate copies the file, then shortens it to nothing:
// the log writes on at its new end, leaving no hole, and says so on
// standard error alone.
void TestReceiveLog::fileShortenedByLogrotateIsWrittenOn() {
    const QString path = m_dir.filePath(QStringLiteral("rotated.log"));
    static QStringList warnings;
    static std::mutex mutex;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &, const QString &message) {
            const std::lock_guard lock(mutex);
            if (type == QtWarningMsg && message.startsWith(QStringLiteral("receive log:")))
                warnings << message;
        });
    auto restored = qScopeGuard([previous] { qInstallMessageHandler(previous); });
    ReceiveLog log(nullptr, 20ms);
    QSignalSpy failed(&log, &ReceiveLog::failed);
    const auto ticks = [&log] { return log.syncTicks(); };
    log.start(path, ReceiveLog::Existing::Replace);
    log.append("before rotation|");
    QVERIFY(waitForTicks(ticks, ticks() + 2));
    QVERIFY(QFile::resize(path, 0));
    log.append("after");
    QVERIFY(waitForTicks(ticks, ticks() + 3));
    QCoreApplication::processEvents();
    QCOMPARE(readFile(path), QByteArray("after"));
    QVERIFY(log.isOn() && failed.isEmpty());
    const std::lock_guard lock(mutex);
    QVERIFY2(warnings.size() == 1 && warnings.first().contains(QStringLiteral("shortened")),
             qPrintable(warnings.join(u'\n')));
}

void TestReceiveLog::failedLastSyncIsToldOnStop() {
#ifdef Q_OS_WIN
    QSKIP("the disk's sync fails on request through fdatasync, Linux's (disksync.h)");
#else
    const QString path = m_dir.filePath(QStringLiteral("last.log"));
    ConsoleFixture c;
    startLog(c, path);
    DiskSync::failFor(path);
    auto healed = qScopeGuard([] { DiskSync::clear(); });
    // Bytes, and the operator stops the log before the first tick.
    c.receiveLog()->append("last");
    c.dataView()->findChild<ReceiveLogControl *>()->toggle();
    QVERIFY(!c.receiveLog()->isOn());

    QStringList failures;
    QTRY_VERIFY(!(failures += c.takeFailures()).isEmpty());
    QCOMPARE(failures.size(), 1);
    QVERIFY2(failures.first().contains(QStringLiteral("ostatnie dane mogły nie trafić na dysk")) &&
                 failures.first().contains(path) && failures.first().contains(qt_error_string(EIO)),
             qPrintable(failures.first()));
#endif
}

QTEST_MAIN(TestReceiveLog)
#include "tst_receivelog.moc"
