// The receive log: every received chunk in the file exactly as it came,
// written before the DATA view gets it; appending to a file or replacing it;
// a log that goes on across closing and reopening the port and a device
// that vanishes and comes back; a write or a sync that fails, or the file
// deleted or replaced by another program, stops the log with one failure
// box, told within a tick while the line is idle, and the view goes on.
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
#include <cstdio>

namespace {

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
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
    void failureIsToldWhileLineIsIdle_data();
    void failureIsToldWhileLineIsIdle();
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
    QVERIFY(c.window()->receiveLog()->isOn());
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
    QVERIFY(!c.window()->receiveLog()->isOn());
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
    QSignalSpy failed(c.window()->receiveLog(), &ReceiveLog::failed);
    c.press("Command1");
    m_pty->send("abc");
    QTRY_VERIFY(c.dataView()->text().endsWith("abc"));
    QCOMPARE(failed.size(), 1);
    QVERIFY(!c.window()->receiveLog()->isOn());
    m_pty->send("def");
    QTRY_VERIFY(c.dataView()->text().endsWith("abcdef"));

    const QStringList failures = c.takeFailures();
    QCOMPARE(failures.size(), 1);
    QVERIFY2(failures.first().contains(full) && failures.first().contains(qt_error_string(ENOSPC)),
             qPrintable(failures.first()));
}

void TestReceiveLog::failureIsToldWhileLineIsIdle_data() {
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("told");
    QTest::newRow("sync fails") << "sync" << qt_error_string(EIO);
    QTest::newRow("file deleted") << "deleted"
                                  << "usunięty lub zastąpiony";
    QTest::newRow("file replaced") << "replaced"
                                   << "usunięty lub zastąpiony";
}

void TestReceiveLog::failureIsToldWhileLineIsIdle() {
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
        // As another program's save does: a new file renamed into place.
        QFile other(m_dir.filePath(QStringLiteral("other")));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();
        QVERIFY(std::rename(QFile::encodeName(other.fileName()).constData(),
                            QFile::encodeName(path).constData()) == 0);
    }

    // Nothing more arrives: the next tick finds it, and says it once.
    QTRY_VERIFY_WITH_TIMEOUT(!c.window()->receiveLog()->isOn(), 5000);
    QStringList failures;
    QTRY_VERIFY(!(failures += c.takeFailures()).isEmpty());
    QTest::qWait(1500);  // a tick more
    failures += c.takeFailures();
    QCOMPARE(failures.size(), 1);
    QVERIFY2(failures.first().contains(path) && failures.first().contains(told),
             qPrintable(failures.first()));
    auto *label = c.window()->findChild<QLabel *>(QStringLiteral("receiveLogLabel"));
    QVERIFY2(label->isVisible() && label->text().contains(QStringLiteral("zatrzymany")),
             qPrintable(label->text()));
    QVERIFY(!c.dataView()->findChild<ReceiveLogControl *>()->action()->isChecked());
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
    c.window()->receiveLog()->append("last");
    c.dataView()->findChild<ReceiveLogControl *>()->toggle();
    QVERIFY(!c.window()->receiveLog()->isOn());

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
