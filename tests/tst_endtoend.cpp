// A whole working session: the console's windows in this process, the
// device simulator as a separate program on a pty (on Windows, under Wine,
// on the Linux side behind a COM port).
#include "consolefixture.h"
#include "dataview.h"
#include "mscomm.h"
#include "simulateddevice.h"

#include <QRegularExpression>
#include <QTest>

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void wholeSession();

private:
    // Presses a button and waits until the DATA view has grown by a reply
    // that ends with `end`; returns what arrived.
    QString exchange(ConsoleFixture &c, const char *button, const QString &end = "\r\n");

    SimulatedDevice m_sim{{"--fast", "--quiet", "--card-size", "4096"}};
};

void TestEndToEnd::initTestCase() {
    QVERIFY(m_sim.start());
    qputenv("RS232_PORT_2", m_sim.portName().toLocal8Bit());
}

void TestEndToEnd::cleanupTestCase() {
    qunsetenv("RS232_PORT_2");
}

QString TestEndToEnd::exchange(ConsoleFixture &c, const char *button, const QString &end) {
    const qsizetype before = c.dataView()->text().size();
    c.press(button);
    QString reply;
    (void)QTest::qWaitFor(
        [&] {
            reply = c.dataView()->text().mid(before);
            return reply.endsWith(end);
        },
        5000);
    return reply;
}

void TestEndToEnd::wholeSession() {
    ConsoleFixture c;
    c.press("Command1");
    QVERIFY(c.takeFailures().isEmpty());
    QVERIFY(c.comm()->portOpen());

    // The device's clock and calendar.
    c.box("Text1")->setText(QStringLiteral("SETT08:30:00"));
    QCOMPARE(exchange(c, "Command3"), QStringLiteral("TIME 08:30:00\r\n"));
    c.box("Text2")->setText(QStringLiteral("SETD15-06"));
    QCOMPARE(exchange(c, "Command4"), QStringLiteral("DATE 15-06\r\n"));
    QVERIFY(exchange(c, "Command7").contains(QRegularExpression("^TIME 08:3[01]:\\d\\d\r\n$")));
    QCOMPARE(exchange(c, "Command8"), QStringLiteral("DATE 15-06\r\n"));

    // The disk checks on an empty card.
    QCOMPARE(exchange(c, "Command10"), QStringLiteral("OK CF READY\r\n"));
    QCOMPARE(exchange(c, "Command11"), QStringLiteral("SIZE 4096\r\n"));
    QCOMPARE(exchange(c, "Command12"), QStringLiteral("FREE 4096\r\n"));

    // Writing, with and without the device's time stamp; Polish letters go
    // through the card unchanged.
    c.box("Text16")->setText(QStringLiteral("pomiar źródła"));
    QCOMPARE(exchange(c, "Command13"), QStringLiteral("OK 1\r\n"));
    c.box("Text18")->setText(QStringLiteral("z czasem"));
    QCOMPARE(exchange(c, "Command16"), QStringLiteral("OK 2\r\n"));
    QCOMPARE(exchange(c, "Command12"),
             QStringLiteral("FREE %1\r\n").arg(4096 - (13 + 2) - (23 + 2)));

    QCOMPARE(exchange(c, "Command14"), QStringLiteral("pomiar źródła\r\n"));
    c.box("Text14")->setText(QStringLiteral("2"));
    QVERIFY(exchange(c, "Command14")
                .contains(QRegularExpression("^15-06 08:3[01]:\\d\\d z czasem\r\n$")));
    c.box("Text14")->setText(QStringLiteral("3"));
    QCOMPARE(exchange(c, "Command14"), QStringLiteral("ERR NO SUCH LINE\r\n"));

    const QString all = exchange(c, "Command17", "END 2\r\n");
    QVERIFY(all.startsWith(QStringLiteral("pomiar źródła\r\n15-06 08:3")));

    // Clearing the memory, then reading again.
    QCOMPARE(exchange(c, "Command9"), QStringLiteral("OK CLEARED\r\n"));
    QCOMPARE(exchange(c, "Command17"), QStringLiteral("END 0\r\n"));
    QCOMPARE(exchange(c, "Command12"), QStringLiteral("FREE 4096\r\n"));

    // The whole conversation stands in the DATA view, after its heading.
    QVERIFY(c.dataView()->text().startsWith(QStringLiteral("DATA\r\nTIME 08:30:00\r\n")));

    c.press("Command2");
    QVERIFY(!c.comm()->portOpen());
    c.press("Command10");
    QCOMPARE(c.takeFailures(), QStringList{kSendFailure});
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
