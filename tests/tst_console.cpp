// The main window's working controls against a pty playing the device (on
// Windows, under Wine, behind a COM port): opening and closing the port, the
// twelve command buttons, and replies arriving in the DATA view.
#include "codepage.h"
#include "consolefixture.h"
#include "dataview.h"
#include "form1.h"
#include "kalvexversion.h"
#include "module1.h"
#include "mscomm.h"
#include "ptydevice.h"

#include <QApplication>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

const QString kInitialData = QStringLiteral("DATA\r\n");

// The system's reason, in the user's language, for a port with no device.
QString absentPortReason() {
#ifdef Q_OS_WIN
    return qt_error_string(ERROR_FILE_NOT_FOUND);
#else
    return QString::fromLocal8Bit(std::strerror(ENOENT));
#endif
}

struct CommandRow {
    const char *button;
    QByteArray bytes;  // with the default texts
};

const QList<CommandRow> &commandTable() {
    static const QList<CommandRow> rows = {
        {"Command10", "DSTA\r"},
        {"Command11", "DSIZ\r"},
        {"Command12", "DFRE\r"},
        {"Command9", "DCLR\r"},
        {"Command13", "WRTETEKST DO ZAPISU\r"},
        {"Command16", "WRTFTEKST DO ZAPISU\r"},
        {"Command14", "REDL1\r"},
        {"Command17", "REDA\r"},
        {"Command3", "SETT17:07:15\r"},
        {"Command4", "SETD03-02\r"},
        {"Command7", "GETT\r"},
        {"Command8", "GETD\r"},
    };
    return rows;
}

}  // namespace

class TestConsole : public QObject {
    Q_OBJECT

private slots:
    void init();

    // Opening and closing the port.
    void defaultNumberOpensAt9600N81();
    void openFailureLeavesPortClosed_data();
    void openFailureLeavesPortClosed();
    void failureBoxLooksAsDesigned();
    void unusableNumberIsStoredAndNextOpenWorks();
    void secondOpenFailsAndPortStaysUsable();
    void changedNumberWhileOpenKeepsOldPort();
    void closeOnClosedPortIsSilent();
    void reopenAppliesReceiveConfiguration();
    void closingWindowReleasesPort();

    // Commands.
    void defaultCommandsAreByteExact();
    void editedBoxesAreSentAsTheyStand_data();
    void editedBoxesAreSentAsTheyStand();
    void commandsOnClosedPortFailAndSendNothing();
    void twoQuickPressesSendTwice();
    void mnemonicBoxesAreReadOnly();

    // Reception.
    void workedExampleInOneChunk();
    void workedExampleInTwoChunks();
    void otherEventCodesChangeNothing();
    void emptyChunkEmptiesBufferOnly();
    void typedTextStaysAndChunkFollows();
    void clearThenReply();
    void largeReplyArrivesWhole();
    void lastBytesOfVanishedDeviceReachTheView();

private:
    std::unique_ptr<PtyDevice> m_pty;
};

void TestConsole::init() {
    m_pty = std::make_unique<PtyDevice>();
    QVERIFY(m_pty->isValid());
    m_pty->mapToPort(2);
}

void TestConsole::defaultNumberOpensAt9600N81() {
    ConsoleFixture c;
    QCOMPARE(c.box("Text7")->text(), QStringLiteral("2"));
    QVERIFY(!c.comm()->portOpen());
    c.press("Command1");
    QVERIFY(c.takeFailures().isEmpty());
    QVERIFY(c.comm()->portOpen());
    QCOMPARE(c.comm()->commPort(), 2);
    QCOMPARE(c.comm()->settings(), QStringLiteral("9600,N,8,1"));
    QCOMPARE(c.comm()->rThreshold(), 1);
    QCOMPARE(c.comm()->inputLen(), 0);
    QCOMPARE(c.box("Text7")->text(), QStringLiteral("2"));
}

void TestConsole::openFailureLeavesPortClosed_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("letters") << "COM2";
    QTest::newRow("fraction") << "2.5";
    QTest::newRow("beyond 16 bits") << "40000";
    QTest::newRow("zero") << "0";
    QTest::newRow("above 255") << "300";
    QTest::newRow("negative") << "-2";
}

void TestConsole::openFailureLeavesPortClosed() {
    QFETCH(QString, text);
    ConsoleFixture c;
    const int storedBefore = c.comm()->commPort();
    c.box("Text7")->setText(text);
    c.press("Command1");
    QCOMPARE(c.takeFailures(), QStringList{kOpenFailure});
    QVERIFY(!c.comm()->portOpen());
    QCOMPARE(c.comm()->commPort(), storedBefore);
    QCOMPARE(c.box("Text7")->text(), text);
}

void TestConsole::failureBoxLooksAsDesigned() {
    ConsoleFixture c;
    c.box("Text7")->setText(QStringLiteral("x"));
    c.press("Command1");
    QMessageBox *box = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
            box = b;
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QString::fromUtf8(KalvexVersion::kProgramTitle));
    QCOMPARE(box->icon(), QMessageBox::Critical);
    QCOMPARE(box->buttons().size(), 1);
    QCOMPARE(box->standardButton(box->buttons().first()), QMessageBox::Ok);
    QVERIFY(box->isModal());
    QCOMPARE(box->windowModality(), Qt::ApplicationModal);
    QPointer<QMessageBox> guard(box);
    box->buttons().first()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(guard.isNull());
}

void TestConsole::unusableNumberIsStoredAndNextOpenWorks() {
    qputenv("RS232_PORT_3", kAbsentPort.toLocal8Bit());
    ConsoleFixture c;
    c.box("Text7")->setText(QStringLiteral("3"));
    // The box keeps its designed text; the system's reason, in the user's
    // language, is logged.
    QTest::ignoreMessage(
        QtWarningMsg,
        qUtf8Printable(QStringLiteral("port 3 (%1): %2").arg(kAbsentPort, absentPortReason())));
    c.press("Command1");
    QCOMPARE(c.takeFailures(), QStringList{kOpenFailure});
    QVERIFY(!c.comm()->portOpen());
    QCOMPARE(c.comm()->commPort(), 3);  // earlier steps stay in effect

    c.box("Text7")->setText(QStringLiteral(" 2 "));
    c.press("Command1");
    QVERIFY(c.takeFailures().isEmpty());
    QVERIFY(c.comm()->portOpen());
    qunsetenv("RS232_PORT_3");
}

void TestConsole::secondOpenFailsAndPortStaysUsable() {
    ConsoleFixture c;
    c.press("Command1");
    c.press("Command1");
    QCOMPARE(c.takeFailures(), QStringList{kOpenFailure});
    QVERIFY(c.comm()->portOpen());
    c.press("Command10");
    QCOMPARE(m_pty->readAtLeast(5), QByteArray("DSTA\r"));
}

void TestConsole::changedNumberWhileOpenKeepsOldPort() {
    PtyDevice other;
    other.mapToPort(4);
    ConsoleFixture c;
    c.press("Command1");
    c.box("Text7")->setText(QStringLiteral("4"));
    c.press("Command1");
    QCOMPARE(c.takeFailures(), QStringList{kOpenFailure});
    QCOMPARE(c.comm()->commPort(), 2);
    c.press("Command7");
    QCOMPARE(m_pty->readAtLeast(5), QByteArray("GETT\r"));
    QCOMPARE(other.drain(50), QByteArray());
}

void TestConsole::closeOnClosedPortIsSilent() {
    ConsoleFixture c;
    c.press("Command2");
    QVERIFY(c.takeFailures().isEmpty());
    c.press("Command1");
    c.press("Command2");
    QVERIFY(!c.comm()->portOpen());
    c.press("Command2");
    QVERIFY(c.takeFailures().isEmpty());
}

void TestConsole::reopenAppliesReceiveConfiguration() {
    ConsoleFixture c;
    c.press("Command1");
    c.press("Command2");
    c.comm()->setRThreshold(0);
    c.comm()->setInputLen(3);
    c.press("Command1");
    QCOMPARE(c.comm()->rThreshold(), 1);
    QCOMPARE(c.comm()->inputLen(), 0);
    m_pty->send("OK\r");
    QTRY_COMPARE(c.dataView()->text(), kInitialData + "OK\r");
}

void TestConsole::closingWindowReleasesPort() {
    for (const char *how : {"close box", "Command21"}) {
        ConsoleFixture c;
        c.press("Command1");
        QVERIFY(c.comm()->portOpen());
        QPointer<Form1> window = c.window();
        if (QByteArray(how) == "close box")
            window->close();
        else
            c.press(how);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(window.isNull(), how);
        QVERIFY(c.takeFailures().isEmpty());
        QSerialPort other(m_pty->portName());
        QVERIFY2(other.open(QIODevice::ReadWrite), how);
    }
}

void TestConsole::defaultCommandsAreByteExact() {
    ConsoleFixture c;
    c.press("Command1");
    for (const CommandRow &row : commandTable()) {
        c.press(row.button);
        QCOMPARE(m_pty->readAtLeast(row.bytes.size(), 2000), row.bytes);
    }
    QVERIFY(c.takeFailures().isEmpty());
}

void TestConsole::editedBoxesAreSentAsTheyStand_data() {
    QTest::addColumn<QByteArray>("boxName");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty argument")
        << QByteArray("Text16") << "" << QByteArray("Command13") << QByteArray("WRTE\r");
    QTest::newRow("emptied Text1")
        << QByteArray("Text1") << "" << QByteArray("Command3") << QByteArray("\r");
    QTest::newRow("emptied Text2")
        << QByteArray("Text2") << "" << QByteArray("Command4") << QByteArray("\r");
    QTest::newRow("blanks at both ends") << QByteArray("Text18") << "  ab  "
                                         << QByteArray("Command16") << QByteArray("WRTF  ab  \r");
    QTest::newRow("line 12") << QByteArray("Text14") << "12" << QByteArray("Command14")
                             << QByteArray("REDL12\r");
    QTest::newRow("Polish letters")
        << QByteArray("Text16") << "Zażółć gęślą jaźń" << QByteArray("Command13")
        << QByteArray("WRTEZa\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1\r");
    QTest::newRow("not in the code page")
        << QByteArray("Text16") << "Жx" << QByteArray("Command13") << QByteArray("WRTE?x\r");
    QTest::newRow("new time") << QByteArray("Text1") << "SETT08:00:00" << QByteArray("Command3")
                              << QByteArray("SETT08:00:00\r");
}

void TestConsole::editedBoxesAreSentAsTheyStand() {
    QFETCH(QByteArray, boxName);
    QFETCH(QString, text);
    QFETCH(QByteArray, button);
    QFETCH(QByteArray, expected);
    ConsoleFixture c;
    c.press("Command1");
    c.box(boxName.constData())->setText(text);
    c.press(button.constData());
    QCOMPARE(m_pty->readAtLeast(expected.size(), 2000), expected);
    QCOMPARE(m_pty->drain(30), QByteArray());
    QCOMPARE(c.box(boxName.constData())->text(), text);
}

void TestConsole::commandsOnClosedPortFailAndSendNothing() {
    ConsoleFixture c;
    // Never opened, then opened and closed again.
    for (int round = 0; round < 2; ++round) {
        for (const CommandRow &row : commandTable()) {
            c.press(row.button);
            QCOMPARE(c.takeFailures(), QStringList{kSendFailure});
        }
        c.press("Command1");
        c.press("Command2");
    }
    QCOMPARE(m_pty->drain(100), QByteArray());
    m_pty->send("late");
    QTest::qWait(50);
    QCOMPARE(c.dataView()->text(), kInitialData);
}

void TestConsole::twoQuickPressesSendTwice() {
    ConsoleFixture c;
    c.press("Command1");
    c.press("Command14");
    c.press("Command14");
    QCOMPARE(m_pty->readAtLeast(12), QByteArray("REDL1\rREDL1\r"));
}

void TestConsole::mnemonicBoxesAreReadOnly() {
    ConsoleFixture c;
    for (const char *name : {"Text9", "Text10", "Text11", "Text15", "Text8", "Text17", "Text12",
                             "Text13", "Text5", "Text6"})
        QVERIFY2(c.box(name)->isReadOnly(), name);
    for (const char *name : {"Text1", "Text2", "Text7", "Text14", "Text16", "Text18"})
        QVERIFY2(!c.box(name)->isReadOnly(), name);
    QTest::keyClicks(c.box("Text9"), "X");
    QCOMPARE(c.box("Text9")->text(), QStringLiteral("DSTA"));
}

void TestConsole::workedExampleInOneChunk() {
    ConsoleFixture c;
    QCOMPARE(c.dataView()->text(), kInitialData);
    c.press("Command1");
    m_pty->send("OK\r");
    QTRY_COMPARE(c.dataView()->text(), kInitialData + "OK\r");
    QCOMPARE(Module1::receiveBuffer.toString(), QStringLiteral("OK\r"));
}

void TestConsole::workedExampleInTwoChunks() {
    ConsoleFixture c;
    c.press("Command1");
    m_pty->send("O");
    QTRY_COMPARE(c.dataView()->text(), kInitialData + "O");
    m_pty->send("K\r");
    QTRY_COMPARE(c.dataView()->text(), kInitialData + "OK\r");
    QCOMPARE(Module1::receiveBuffer.toString(), QStringLiteral("K\r"));
}

void TestConsole::otherEventCodesChangeNothing() {
    ConsoleFixture c;
    c.press("Command1");
    MSComm *comm = c.comm();
    comm->setRThreshold(0);
    m_pty->send("AB");
    QTRY_COMPARE(comm->inBufferCount(), 2);

    // A send notification (code 1) while characters wait.
    QSignalSpy spy(comm, &MSComm::onComm);
    comm->setSThreshold(1);
    c.press("Command10");
    QTRY_VERIFY(spy.count() >= 1);
    QCOMPARE(comm->commEvent(), int(MSComm::ComEvSend));
    QCOMPARE(c.dataView()->text(), kInitialData);
    QCOMPARE(comm->inBufferCount(), 2);

    comm->setSThreshold(0);
    comm->setRThreshold(1);
    m_pty->send("C");
    QTRY_COMPARE(c.dataView()->text(), kInitialData + "ABC");
}

void TestConsole::emptyChunkEmptiesBufferOnly() {
    ConsoleFixture c;
    c.press("Command1");
    m_pty->send("X");
    QTRY_COMPARE(Module1::receiveBuffer.toString(), QStringLiteral("X"));
    QCOMPARE(c.comm()->commEvent(), int(MSComm::ComEvReceive));
    emit c.comm()->onComm();  // a receive notification with nothing waiting
    QCOMPARE(Module1::receiveBuffer.toString(), QString());
    QCOMPARE(c.dataView()->text(), kInitialData + "X");
}

void TestConsole::typedTextStaysAndChunkFollows() {
    ConsoleFixture c;
    c.press("Command1");
    DataView *view = c.dataView();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(view, "note ");
    m_pty->send("OK\r");
    QTRY_COMPARE(view->text(), kInitialData + "note OK\r");
}

void TestConsole::clearThenReply() {
    ConsoleFixture c;
    c.press("Command5");
    QCOMPARE(c.dataView()->text(), QString());
    c.press("Command5");
    QCOMPARE(c.dataView()->text(), QString());
    c.press("Command1");
    m_pty->send("OK\r");
    QTRY_COMPARE(c.dataView()->text(), QStringLiteral("OK\r"));
    QVERIFY(c.comm()->portOpen());
}

void TestConsole::largeReplyArrivesWhole() {
    ConsoleFixture c;
    c.press("Command1");
    QByteArray sent;
    for (int i = 0; i < 300; ++i) sent.append(char('A' + i % 26));
    m_pty->send(sent);
    QTRY_COMPARE(c.dataView()->text(), kInitialData + QString::fromLatin1(sent));

    // Five megabytes of every byte value, through the pty.
    c.press("Command5");
    QByteArray big(5 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < big.size(); ++i) big[i] = char((i * 131 + i / 4099) & 0xFF);
    QVERIFY(m_pty->send(big));
    QTRY_COMPARE_WITH_TIMEOUT(c.dataView()->text().size(), big.size(), 60000);
    QCOMPARE(CodePage::encode(c.dataView()->text()), big);
}

void TestConsole::lastBytesOfVanishedDeviceReachTheView() {
    LinkedPty device;
    ConsoleFixture c;
    c.press("Command1");
    device.pty().send("FIRST\r\n");
    QTRY_COMPARE(c.dataView()->text(), kInitialData + "FIRST\r\n");
    // The device's last words wait in the control (a threshold that they do
    // not reach), then it vanishes at once.
    c.comm()->setRThreshold(1000);
    device.pty().send("LAST\r\n");
    QTRY_COMPARE(c.comm()->inBufferCount(), 6);
    device.pullOut();
    QTRY_VERIFY(!c.comm()->portOpen());
    QCOMPARE(c.dataView()->text(), kInitialData + "FIRST\r\nLAST\r\n");
    QCOMPARE(Module1::receiveBuffer.toString(), QStringLiteral("LAST\r\n"));
    QVERIFY(c.takeFailures().isEmpty());

    // A new device on the same number starts afresh after the old one's
    // bytes, once the operator has closed the port and opened it again.
    c.press("Command2");
    QVERIFY(device.plugIn());
    c.press("Command1");
    device.pty().send("NEW");
    QTRY_COMPARE(c.dataView()->text(), kInitialData + "FIRST\r\nLAST\r\nNEW");
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
