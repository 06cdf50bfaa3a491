// The serial port control against pseudo-terminals playing the device (on
// Windows, under Wine, behind COM ports: ptydevice.h).
#include "codepage.h"
#include "commerror.h"
#include "cputime.h"
#include "mscomm.h"
#include "portdirectory.h"
#include "ptydevice.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int kPort = 7;

void configure(MSComm &comm, int number = kPort) {
    comm.setCommPort(number);
    comm.setSettings(QStringLiteral("9600,N,8,1"));
    comm.setRThreshold(1);
    comm.setInputLen(0);
}

// The ports as the environment maps them now (PtyDevice::mapToPort), read
// as the console reads them when it starts.
PortDirectory mappedPorts() {
    return PortDirectory::fromEnvironment();
}

#ifndef Q_OS_WIN
// Lock files that Qt SerialPort may leave for a device.
QStringList lockFilesFor(const QString &device) {
    const QString name =
        "LCK.." + QString(device).remove(QStringLiteral("/dev/")).replace(u'/', u'_');
    QStringList found;
    for (const QString &dir :
         {QStringLiteral("/var/lock"), QStringLiteral("/run/lock"), QDir::tempPath()}) {
        const QFileInfo file(dir + u'/' + name);
        if (file.exists() && !found.contains(file.canonicalFilePath()))
            found << file.canonicalFilePath();
    }
    return found;
}
#endif

}  // namespace

class TestMSComm : public QObject {
    Q_OBJECT

private slots:
    void opensAt9600N81();
    void portNumberRange();
    void portNumberFixedWhileOpen();
    void missingDeviceRefusedThenOtherOpens();
    void portHeldElsewhereRefused();
    void outputIsByteExactAndNeedsOpenPort();
    void receiveNotificationFollowsThreshold();
    void inputLenLimitsOneRead();
    void inputAsReceivedTextKeepsEveryChunk();
    void nothingDroppedBeyondInputBuffer();
    void destroyingReleasesThePort();
    void vanishedDeviceClosesPortWithoutSpinning();
    void vanishedDeviceDeliversWaitingBytesFirst();
    void vanishedDeviceDeliversBytesThePortHeld();
};

void TestMSComm::opensAt9600N81() {
    PtyDevice pty;
    QVERIFY(pty.isValid());
    pty.mapToPort(kPort);
    MSComm comm(mappedPorts());
    QVERIFY(!comm.portOpen());
    configure(comm);
    comm.setPortOpen(true);
    QVERIFY(comm.portOpen());

    const LineState line = pty.lineState();
    QCOMPARE(line.outputBaud, 9600);
    QCOMPARE(line.inputBaud, 9600);
    QCOMPARE(line.dataBits, 8);
    QVERIFY(!line.parity);
    QCOMPARE(line.stopBits, 1);
    QVERIFY(!line.rtsCts);
    QVERIFY(!line.xonXoff);

    comm.setPortOpen(false);
    QVERIFY(!comm.portOpen());
}

void TestMSComm::portNumberRange() {
    MSComm comm(mappedPorts());
    for (int bad : {0, -1, 256, 32767, -32768})
        QVERIFY_THROWS_EXCEPTION(CommError, comm.setCommPort(bad));
    comm.setCommPort(1);
    QCOMPARE(comm.commPort(), 1);
    comm.setCommPort(255);
    QCOMPARE(comm.commPort(), 255);
    QVERIFY_THROWS_EXCEPTION(CommError, comm.setSettings(QStringLiteral("9600;N;8;1")));
    QVERIFY_THROWS_EXCEPTION(CommError, comm.setRThreshold(-1));
    QVERIFY_THROWS_EXCEPTION(CommError, comm.setInputLen(40000));
}

void TestMSComm::portNumberFixedWhileOpen() {
    PtyDevice pty;
    pty.mapToPort(kPort);
    MSComm comm(mappedPorts());
    configure(comm);
    comm.setPortOpen(true);
    QVERIFY_THROWS_EXCEPTION(CommError, comm.setCommPort(kPort + 1));
    QVERIFY_THROWS_EXCEPTION(CommError, comm.setCommPort(kPort));
    QCOMPARE(comm.commPort(), kPort);
    QVERIFY_THROWS_EXCEPTION(CommError, comm.setPortOpen(true));
    QVERIFY(comm.portOpen());
}

void TestMSComm::missingDeviceRefusedThenOtherOpens() {
    PtyDevice pty;
    MSComm comm(PortDirectory({{9, kAbsentPort}, {kPort, pty.portName()}}));
    configure(comm, 9);
    QVERIFY_THROWS_EXCEPTION(CommError, comm.setPortOpen(true));
    QVERIFY(!comm.portOpen());

    comm.setCommPort(kPort);
    comm.setPortOpen(true);
    QVERIFY(comm.portOpen());
}

void TestMSComm::portHeldElsewhereRefused() {
    if (runsUnderWine())
        QSKIP("Wine lets a second program open a COM port that one holds");
    PtyDevice held;
    PtyDevice free;
    QSerialPort other(held.portName());
    QVERIFY2(other.open(QIODevice::ReadWrite), qPrintable(other.errorString()));

    MSComm comm(PortDirectory({{kPort, held.portName()}, {kPort + 1, free.portName()}}));
    configure(comm);
    QVERIFY_THROWS_EXCEPTION(CommError, comm.setPortOpen(true));
    QVERIFY(!comm.portOpen());

    comm.setCommPort(kPort + 1);
    comm.setPortOpen(true);
    QVERIFY(comm.portOpen());
}

void TestMSComm::outputIsByteExactAndNeedsOpenPort() {
    PtyDevice pty;
    pty.mapToPort(kPort);
    MSComm comm(mappedPorts());
    configure(comm);
    QVERIFY_THROWS_EXCEPTION(CommError, comm.setOutput(QStringLiteral("DSTA\r")));

    comm.setPortOpen(true);
    comm.setOutput(QStringLiteral("DSTA\r"));
    comm.setOutput(QStringLiteral("WRTEzażółć\r"));
    const QByteArray expected = QByteArray("DSTA\r") + "WRTEza\xBF\xF3\xB3\xE6\r";
    QCOMPARE(pty.readAtLeast(expected.size()), expected);

    comm.setPortOpen(false);
    QVERIFY_THROWS_EXCEPTION(CommError, comm.setOutput(QStringLiteral("DSTA\r")));
    QCOMPARE(pty.drain(100), QByteArray());
}

void TestMSComm::receiveNotificationFollowsThreshold() {
    PtyDevice pty;
    pty.mapToPort(kPort);
    MSComm comm(mappedPorts());
    configure(comm);
    comm.setPortOpen(true);
    QSignalSpy spy(&comm, &MSComm::onComm);

    pty.send("OK\r");
    QTRY_VERIFY(spy.count() >= 1);
    QCOMPARE(comm.commEvent(), int(MSComm::ComEvReceive));
    QCOMPARE(comm.input(), QStringLiteral("OK\r"));
    QCOMPARE(comm.input(), QString());

    // Threshold 0: nothing is raised and the characters wait.
    comm.setRThreshold(0);
    spy.clear();
    pty.send("abc");
    QTRY_COMPARE(comm.inBufferCount(), 3);
    QCOMPARE(spy.count(), 0);

    // Threshold 5: raised only once five characters wait.
    comm.setRThreshold(5);
    pty.send("d");
    QTest::qWait(100);
    QCOMPARE(spy.count(), 0);
    pty.send("e");
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(comm.input(), QStringLiteral("abcde"));
}

void TestMSComm::inputLenLimitsOneRead() {
    PtyDevice pty;
    pty.mapToPort(kPort);
    MSComm comm(mappedPorts());
    configure(comm);
    comm.setRThreshold(0);
    comm.setPortOpen(true);
    pty.send("123456");
    QTRY_COMPARE(comm.inBufferCount(), 6);
    comm.setInputLen(4);
    QCOMPARE(comm.input(), QStringLiteral("1234"));
    QCOMPARE(comm.input(), QStringLiteral("56"));
    QCOMPARE(comm.input(), QString());
}

// Chunks read as received text, into the same receive buffer, are each the
// bytes that came; a copy of an earlier chunk is not disturbed by the room
// being used again, and InputLen still limits a read.
void TestMSComm::inputAsReceivedTextKeepsEveryChunk() {
    PtyDevice pty;
    pty.mapToPort(kPort);
    MSComm comm(mappedPorts());
    configure(comm);
    comm.setRThreshold(0);
    comm.setPortOpen(true);
    ReceivedText text;
    QByteArray earlier;
    QByteArray all;
    for (int i = 0; i < 20; ++i) {
        const QByteArray chunk = "OK \xB9\xBF " + QByteArray::number(i) + "\r\n";
        pty.send(chunk);
        QTRY_COMPARE(comm.inBufferCount(), chunk.size());
        comm.input(text);
        QCOMPARE(text.bytes(), chunk);
        QCOMPARE(text.toString(), QStringLiteral("OK ąż %1\r\n").arg(i));
        if (i > 0)
            QCOMPARE(earlier, all.right(earlier.size()));
        earlier = text.bytes();
        all += chunk;
    }
    comm.input(text);
    QVERIFY(text.isEmpty());

    pty.send("123456");
    QTRY_COMPARE(comm.inBufferCount(), 6);
    comm.setInputLen(4);
    comm.input(text);
    QCOMPARE(text.bytes(), QByteArray("1234"));
    comm.input(text);
    QCOMPARE(text.bytes(), QByteArray("56"));
    QCOMPARE(comm.inBufferCount(), 0);
}

void TestMSComm::nothingDroppedBeyondInputBuffer() {
    PtyDevice pty;
    pty.mapToPort(kPort);
    MSComm comm(mappedPorts());
    configure(comm);
    comm.setRThreshold(0);  // nobody reads while the device floods
    comm.setPortOpen(true);

    QByteArray sent;
    for (int i = 0; i < 300000; ++i) sent.append(char(i * 7 + i / 256));
    QVERIFY(pty.send(sent));
    QTRY_COMPARE_WITH_TIMEOUT(comm.inBufferCount(), int(sent.size()), 10000);
    const QString received = comm.input();
    QCOMPARE(received.size(), sent.size());
    QCOMPARE(CodePage::encode(received), sent);
}

void TestMSComm::destroyingReleasesThePort() {
    if (runsUnderWine())
        QSKIP("Wine lets a second program open a COM port that one holds");
    PtyDevice pty;
    pty.mapToPort(kPort);
    {
        MSComm comm(mappedPorts());
        configure(comm);
        comm.setPortOpen(true);
#ifndef Q_OS_WIN
        QCOMPARE(lockFilesFor(pty.slaveName()).size(), 1);
#endif
    }
#ifndef Q_OS_WIN
    QVERIFY(lockFilesFor(pty.slaveName()).isEmpty());
#endif
    QSerialPort other(pty.portName());
    QVERIFY2(other.open(QIODevice::ReadWrite), qPrintable(other.errorString()));
}

void TestMSComm::vanishedDeviceClosesPortWithoutSpinning() {
    LinkedPty linked(kPort);
    MSComm comm(mappedPorts());
    configure(comm);
    comm.setPortOpen(true);
    QSignalSpy spy(&comm, &MSComm::onComm);

    linked.pty().send("LAST");
    QTRY_VERIFY(spy.count() >= 1);
    QCOMPARE(comm.input(), QStringLiteral("LAST"));

    linked.pullOut();
    QTRY_VERIFY(!comm.portOpen());
#ifndef Q_OS_WIN
    QVERIFY(lockFilesFor(linked.pty().slaveName()).isEmpty());
#endif
    QVERIFY_THROWS_EXCEPTION(CommError, comm.setOutput(QStringLiteral("DSTA\r")));

    const double before = cpuSeconds();
    QTest::qWait(1000);
    QVERIFY2(cpuSeconds() - before < 0.3, "the port keeps the CPU busy after the device vanished");

    // A new device opens on the same number, once the waiting for the old
    // one is ended.
    comm.setPortOpen(false);
    QVERIFY(linked.plugIn());
    comm.setPortOpen(true);
    QVERIFY(comm.portOpen());
    comm.setOutput(QStringLiteral("GETT\r"));
    QCOMPARE(linked.pty().readAtLeast(5), QByteArray("GETT\r"));
}

void TestMSComm::vanishedDeviceDeliversWaitingBytesFirst() {
    PtyDevice pty;
    pty.mapToPort(kPort);
    MSComm comm(mappedPorts());
    configure(comm);
    comm.setRThreshold(5);
    comm.setPortOpen(true);
    struct Notification {
        int event;
        bool open;
        QString input;
    };
    QList<Notification> seen;
    connect(&comm, &MSComm::onComm, this, [&] {
        seen.append({comm.commEvent(), comm.portOpen(), comm.input()});
    });

    // Fewer bytes than the threshold wait when the device vanishes: no more
    // will come to reach it, so they are delivered while the port is still
    // open, and then it closes.
    pty.send("abc");
    QTRY_COMPARE(comm.inBufferCount(), 3);
    QVERIFY(seen.isEmpty());
    pty.pullOut();
    QTRY_VERIFY(!comm.portOpen());
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.first().event, int(MSComm::ComEvReceive));
    QVERIFY(seen.first().open);
    QCOMPARE(seen.first().input, QStringLiteral("abc"));
    QCOMPARE(comm.inBufferCount(), 0);
}

// Bytes that arrive while a receive notification runs are read by Qt's port
// without a notification of their own; when the device then vanishes, they
// too come through Input while the port is still open.
void TestMSComm::vanishedDeviceDeliversBytesThePortHeld() {
#ifdef Q_OS_WIN
    QSKIP(
        "Qt SerialPort on Windows announces bytes that arrive during a notification with one "
        "of their own, within it: none wait unannounced");
#endif
    PtyDevice pty;
    pty.mapToPort(kPort);
    MSComm comm(mappedPorts());
    configure(comm);
    comm.setPortOpen(true);
    const QSerialPort *port = comm.findChild<QSerialPort *>();
    QVERIFY(port);
    QStringList readWhileOpen;
    connect(&comm, &MSComm::onComm, this, [&] {
        if (comm.commEvent() != MSComm::ComEvReceive || !comm.portOpen())
            return;
        readWhileOpen << comm.input();
        if (readWhileOpen.size() == 1) {
            pty.send("second");
            QTRY_COMPARE(port->bytesAvailable(), qint64(6));
        }
    });

    pty.send("first");
    QTRY_COMPARE(readWhileOpen.size(), 1);
    pty.pullOut();
    QTRY_VERIFY(!comm.portOpen());
    QCOMPARE(readWhileOpen, (QStringList{"first", "second"}));
}

QTEST_GUILESS_MAIN(TestMSComm)
#include "tst_mscomm.moc"
