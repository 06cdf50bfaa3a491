// The console on a bench for hours: floods, devices that vanish, locks left
// behind, and hostile input. Nothing received may be lost, nothing may spin,
// no port may stay locked. On Windows (under Wine) the device is behind a COM
// port (ptydevice.h).
#include "codepage.h"
#include "consolefixture.h"
#include "cputime.h"
#include "dataview.h"
#include "form1.h"
#include "mscomm.h"
#include "ptydevice.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// The descriptors this process holds (its handles on Windows).
int openDescriptors() {
#ifdef Q_OS_WIN
    DWORD handles = 0;
    return GetProcessHandleCount(GetCurrentProcess(), &handles) ? int(handles) : -1;
#else
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files)
                   .size());
#endif
}

// UUCP lock files: Unix's way of claiming a port.
QString lockName(const QString &device) {
    return "LCK.." + QString(device).remove(QStringLiteral("/dev/")).replace(u'/', u'_');
}

QString lockDirectory() {
    for (const QString &dir : {QStringLiteral("/var/lock"), QStringLiteral("/etc/locks"),
                               QStringLiteral("/var/spool/locks"),
                               QStringLiteral("/var/spool/uucp"), QDir::tempPath()}) {
        const QFileInfo info(dir);
        if (info.isDir() && info.isWritable())
            return dir;
    }
    return QDir::tempPath();
}

bool lockFileExists(const QString &device) {
    return QFileInfo::exists(lockDirectory() + u'/' + lockName(device));
}

// How long an operator takes at the least between closing a port and
// opening it again. A reopen in the same instant is not what this suite
// plays: under Wine, Qt SerialPort hands the cancelled wait of the port just
// closed, which Wine completes a few milliseconds after the close, to a port
// opened meanwhile (its completions are keyed by an address the new port
// reuses), and the new port fails as if its device had gone.
constexpr int kReopenPauseMs = 250;

QByteArray randomBytes(QRandomGenerator &rng, qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) bytes[i] = char(rng.bounded(256));
    return bytes;
}

}  // namespace

class TestReliability : public QObject {
    Q_OBJECT

private slots:
    void init();

    void randomFloodArrivesExact();
    void commandsDuringFloodArriveWholeInOrder();
    void vanishingDevice_data();
    void vanishingDevice();
    void vanishingAtRandomMoments();
    void staleLockFileDoesNotBlock();
    void openCloseCyclesLeakNothing();
    void hostilePortNumbers_data();
    void hostilePortNumbers();
    void hostileArguments_data();
    void hostileArguments();

private:
    void survivesVanishedDevice(ConsoleFixture &c, const QString &device);
    std::unique_ptr<LinkedPty> m_device;
    PtyDevice *m_pty = nullptr;
    QRandomGenerator m_rng{20261207};
};

void TestReliability::init() {
    m_device.reset();  // its mapping goes with it
    m_device = std::make_unique<LinkedPty>();
    QVERIFY(m_device->isValid());
    m_pty = &m_device->pty();
}

void TestReliability::randomFloodArrivesExact() {
    const qsizetype total = qEnvironmentVariableIntValue("KALVEX_FLOOD_MB") > 0
                                ? qEnvironmentVariableIntValue("KALVEX_FLOOD_MB") * 1024 * 1024
                                : 20 * 1024 * 1024;
    ConsoleFixture c;
    c.press("Command5");
    c.press("Command1");
    const QByteArray stream = randomBytes(m_rng, total);
    for (qsizetype at = 0; at < stream.size();) {
        const qsizetype size = qMin<qsizetype>(1 + m_rng.bounded(64 * 1024), stream.size() - at);
        QVERIFY(m_pty->send(stream.mid(at, size)));
        at += size;
        if (m_rng.bounded(8) == 0)
            QTest::qWait(m_rng.bounded(3));
    }
    QTRY_COMPARE_WITH_TIMEOUT(c.dataView()->text().size(), stream.size(), 60000);
    QVERIFY(c.dataView()->text() == CodePage::decode(stream));
}

void TestReliability::commandsDuringFloodArriveWholeInOrder() {
    ConsoleFixture c;
    c.press("Command1");
    const char *buttons[] = {"Command10", "Command11", "Command12",
                             "Command7",  "Command8",  "Command14"};
    const QByteArray messages[] = {"DSTA\r", "DSIZ\r", "DFRE\r", "GETT\r", "GETD\r", "REDL1\r"};
    QByteArray expected;
    QByteArray flood = randomBytes(m_rng, 2 * 1024 * 1024);
    QByteArray sent;
    for (int round = 0; round < 200; ++round) {
        QVERIFY(m_pty->send(flood.mid(round * 8192, 8192)));
        const int pick = m_rng.bounded(6);
        c.press(buttons[pick]);
        expected += messages[pick];
        sent += m_pty->readAvailable();
    }
    sent += m_pty->readAtLeast(expected.size() - sent.size(), 10000);
    QCOMPARE(sent, expected);
    QVERIFY(c.takeFailures().isEmpty());
}

void TestReliability::vanishingDevice_data() {
    QTest::addColumn<QString>("moment");
    QTest::newRow("right after open") << "open";
    QTest::newRow("between chunks") << "between";
    QTest::newRow("during a flood") << "flood";
    QTest::newRow("during a send") << "send";
}

void TestReliability::vanishingDevice() {
    QFETCH(QString, moment);
    ConsoleFixture c;
    const QString device = m_pty->portName();
    c.press("Command1");
    QVERIFY(c.comm()->portOpen());

    if (moment == "between") {
        m_pty->send("first\r\n");
        QTRY_VERIFY(c.dataView()->text().endsWith("first\r\n"));
    } else if (moment == "flood") {
        for (int i = 0; i < 50; ++i) m_pty->send(randomBytes(m_rng, 4096));
    } else if (moment == "send") {
        c.box("Text16")->setText(QString(100000, u'x'));
        c.press("Command13");
    }
    m_pty->pullOut();
    survivesVanishedDevice(c, device);
}

void TestReliability::vanishingAtRandomMoments() {
    const char *buttons[] = {"Command10", "Command11", "Command12", "Command13", "Command17"};
    ConsoleFixture c;
    for (int round = 0; round < 6; ++round) {
        const QString device = m_pty->portName();
        c.press("Command1");
        QVERIFY(c.comm()->portOpen());
        // The device talks and the operator presses buttons until, at a
        // moment nobody chose, the device is gone.
        QTimer talk;
        connect(&talk, &QTimer::timeout, this, [&] {
            m_pty->send(randomBytes(m_rng, 1 + m_rng.bounded(8192)));
            if (m_rng.bounded(3) == 0)
                c.press(buttons[m_rng.bounded(5)]);
        });
        talk.start(1);
        QTest::qWait(int(m_rng.bounded(300)));
        talk.stop();
        m_pty->pullOut();
        survivesVanishedDevice(c, device);
        if (QTest::currentTestFailed())
            return;
        // The operator closes the port, and opens it in the next round a
        // moment later, as a person does: not in the same instant.
        c.press("Command2");
        QTest::qWait(kReopenPauseMs);
    }
}

// The port closed itself and let go of its lock, nothing spins, a send is
// refused with the system's message, and a fresh device opens.
void TestReliability::survivesVanishedDevice(ConsoleFixture &c, const QString &device) {
    QTRY_VERIFY(!c.comm()->portOpen());
#ifdef Q_OS_WIN
    Q_UNUSED(device);  // no lock files there
#else
    QVERIFY(!lockFileExists(device));
#endif
    const double before = cpuSeconds();
    QTest::qWait(1000);
    QVERIFY2(cpuSeconds() - before < 0.3, "the console spins after the device vanished");

    c.press("Command10");
    QCOMPARE(c.takeFailures(), QStringList{kSendFailure});

    // The operator stops the waiting for the old device and opens the port
    // once the new one is there.
    c.press("Command2");
    QVERIFY(m_device->plugIn());
    m_pty = &m_device->pty();
    c.press("Command1");
    QVERIFY(c.takeFailures().isEmpty());
    QVERIFY(c.comm()->portOpen());
    c.press("Command10");
    QCOMPARE(m_pty->readAtLeast(5), QByteArray("DSTA\r"));
}

void TestReliability::staleLockFileDoesNotBlock() {
#ifdef Q_OS_WIN
    QSKIP("UUCP lock files are Unix's; Windows itself gives a COM port to one program");
#endif
    // A lock left by a process that has ended.
    QProcess dead;
    dead.start(QStringLiteral("/bin/true"));
    QVERIFY(dead.waitForFinished());
    const qint64 deadPid = dead.processId() ? dead.processId() : 999999;
    QFile lock(lockDirectory() + u'/' + lockName(m_pty->portName()));
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(deadPid) + "\nrs232-kalvex\n" +
               QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();

    ConsoleFixture c;
    c.press("Command1");
    QVERIFY(c.takeFailures().isEmpty());
    QVERIFY(c.comm()->portOpen());
    c.press("Command2");
    QVERIFY(!lockFileExists(m_pty->portName()));
}

void TestReliability::openCloseCyclesLeakNothing() {
    ConsoleFixture c;
    c.press("Command1");
    c.press("Command2");
    const int descriptors = openDescriptors();
#ifdef Q_OS_WIN
    if (descriptors == 0)
        QSKIP("this system does not count a process's handles (Wine answers 0)");
#endif
    for (int i = 0; i < 1000; ++i) {
        c.press("Command1");
        c.press("Command2");
    }
    QVERIFY(c.takeFailures().isEmpty());
    QCOMPARE(openDescriptors(), descriptors);
#ifndef Q_OS_WIN
    QVERIFY(!lockFileExists(m_pty->portName()));
#endif
}

void TestReliability::hostilePortNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("opens");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks only") << "    " << false;
    QTest::newRow("+2") << "+2" << true;
    QTest::newRow("blanks around") << "  2\t" << true;
    QTest::newRow("-0") << "-0" << false;
    QTest::newRow("2.5") << "2.5" << false;
    QTest::newRow("2,0") << "2,0" << false;
    QTest::newRow("1e1") << "1e1" << false;
    QTest::newRow("0x2") << "0x2" << false;
    QTest::newRow("full-width 2") << QStringLiteral("２") << false;
    QTest::newRow("Devanagari 2") << QStringLiteral("२") << false;
    QTest::newRow("trailing line feed") << "2\n" << false;
    QTest::newRow("32767") << "32767" << false;
    QTest::newRow("32768") << "32768" << false;
    QTest::newRow("-32769") << "-32769" << false;
    QTest::newRow("10,000 digits") << QString(10000, u'7') << false;
    QTest::newRow("NUL") << QString(QChar(0)) << false;
    QTest::newRow("2 then NUL") << QString("2") + QChar(0) << false;
    QTest::newRow("100 KB") << QString(100 * 1024, u'a') << false;
}

void TestReliability::hostilePortNumbers() {
    QFETCH(QString, text);
    QFETCH(bool, opens);
    ConsoleFixture c;
    c.box("Text7")->setText(text);
    c.press("Command1");
    QCOMPARE(c.takeFailures(), opens ? QStringList() : QStringList{kOpenFailure});
    QCOMPARE(c.comm()->portOpen(), opens);
    QCOMPARE(c.box("Text7")->text(), text);
}

void TestReliability::hostileArguments_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QString controls;
    QByteArray controlBytes;
    for (int ch = 1; ch < 32; ++ch) {
        controls.append(QChar(ch));
        controlBytes.append(char(ch));
    }
    QTest::newRow("100 KB") << QString(100 * 1024, u'z') << QByteArray(100 * 1024, 'z');
    QTest::newRow("not in the code page") << QStringLiteral("Ω中😀") << QByteArray("???");
    QTest::newRow("control characters") << controls << controlBytes;
    QTest::newRow("NUL") << QString(QChar(0)) + "a" << QByteArray("\0a", 2);
}

void TestReliability::hostileArguments() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    ConsoleFixture c;
    c.press("Command1");
    c.box("Text18")->setText(text);
    const QString before = c.box("Text18")->text();
    c.press("Command16");
    const QByteArray expected = "WRTF" + bytes + "\r";
    QCOMPARE(m_pty->readAtLeast(expected.size(), 10000), expected);
    QCOMPARE(c.box("Text18")->text(), before);
    QVERIFY(c.takeFailures().isEmpty());
}

QTEST_MAIN(TestReliability)
#include "tst_reliability.moc"
