// The bytes and when they came, in the console's window: the hex view shows
// the DATA view's text as the bytes of the line's code page, and the caption
// line of "Dane" counts the bytes received since the port was opened, beside
// the receive log's label.
#include "consolefixture.h"
#include "dataview_p.h"
#include "ptydevice.h"
#include "receivecounter.h"

#include <QLabel>
#include <QTest>

class TestDataViews : public QObject {
    Q_OBJECT

private slots:
    void hexRowsOfEveryByte();
    void countRisesAndRestartsWhenThePortOpens();
    void rateIsOverTheLastSeconds();
};

// Bytes 0-255 in order: sixteen rows, each byte in hex and, where
// Windows-1250 shows it, as its character.
void TestDataViews::hexRowsOfEveryByte() {
    ConsoleFixture c;
    c.press("Command5");  // "Czyść DATA"
    QByteArray bytes;
    for (int b = 0; b < 256; ++b) bytes += char(b);
    c.dataView()->appendReceivedBytes(bytes);
    c.dataView()->setHexView(true);

    const HexRows &rows = DataViewPrivate::get(c.dataView())->hexRows();
    const QStringList expected = {
        "00000000  00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F  |................|",
        "00000010  10 11 12 13 14 15 16 17  18 19 1A 1B 1C 1D 1E 1F  |................|",
        "00000020  20 21 22 23 24 25 26 27  28 29 2A 2B 2C 2D 2E 2F  | !\"#$%&'()*+,-./|",
        "00000030  30 31 32 33 34 35 36 37  38 39 3A 3B 3C 3D 3E 3F  |0123456789:;<=>?|",
        "00000040  40 41 42 43 44 45 46 47  48 49 4A 4B 4C 4D 4E 4F  |@ABCDEFGHIJKLMNO|",
        "00000050  50 51 52 53 54 55 56 57  58 59 5A 5B 5C 5D 5E 5F  |PQRSTUVWXYZ[\\]^_|",
        "00000060  60 61 62 63 64 65 66 67  68 69 6A 6B 6C 6D 6E 6F  |`abcdefghijklmno|",
        "00000070  70 71 72 73 74 75 76 77  78 79 7A 7B 7C 7D 7E 7F  |pqrstuvwxyz{|}~.|",
        "00000080  80 81 82 83 84 85 86 87  88 89 8A 8B 8C 8D 8E 8F  |€.‚.„…†‡.‰Š‹ŚŤŽŹ|",
        "00000090  90 91 92 93 94 95 96 97  98 99 9A 9B 9C 9D 9E 9F  |.‘’“”•–—.™š›śťžź|",
        "000000A0  A0 A1 A2 A3 A4 A5 A6 A7  A8 A9 AA AB AC AD AE AF  |\u00A0ˇ˘Ł¤Ą¦§¨©Ş«¬.®Ż|",
        "000000B0  B0 B1 B2 B3 B4 B5 B6 B7  B8 B9 BA BB BC BD BE BF  |°±˛ł´µ¶·¸ąş»Ľ˝ľż|",
        "000000C0  C0 C1 C2 C3 C4 C5 C6 C7  C8 C9 CA CB CC CD CE CF  |ŔÁÂĂÄĹĆÇČÉĘËĚÍÎĎ|",
        "000000D0  D0 D1 D2 D3 D4 D5 D6 D7  D8 D9 DA DB DC DD DE DF  |ĐŃŇÓÔŐÖ×ŘŮÚŰÜÝŢß|",
        "000000E0  E0 E1 E2 E3 E4 E5 E6 E7  E8 E9 EA EB EC ED EE EF  |ŕáâăäĺćçčéęëěíîď|",
        "000000F0  F0 F1 F2 F3 F4 F5 F6 F7  F8 F9 FA FB FC FD FE FF  |đńňóôőö÷řůúűüýţ˙|",
    };
    QCOMPARE(rows.rowCount(), 16);
    for (int row = 0; row < 16; ++row) QCOMPARE(rows.rowText(row), expected.at(row));
    // Copying everything gives the same rows.
    QCOMPARE(rows.rowsText(0, 256), expected.join(u'\n') + u'\n');
}

void TestDataViews::countRisesAndRestartsWhenThePortOpens() {
    PtyDevice device;
    device.mapToPort(2);
    ConsoleFixture c;
    auto *count = c.window()->findChild<QLabel *>(QStringLiteral("receiveCounterLabel"));
    auto *log = c.window()->findChild<QLabel *>(QStringLiteral("receiveLogLabel"));
    QVERIFY(count && log);
    QVERIFY(!count->isVisible());  // nothing to count before a port is open

    // Both in the caption line of "Dane", the count first; neither covers a
    // designed control.
    auto *frameWidget = c.window()->findChild<QWidget *>(QStringLiteral("Frame1"));
    const QRect frame = frameWidget->rect();
    const auto inFrame = [frameWidget](const QWidget *w) {
        return QRect(w->mapTo(frameWidget, QPoint()), w->size());
    };
    QCOMPARE(inFrame(count).top(), inFrame(log).top());
    QVERIFY(inFrame(count).right() < inFrame(log).left());
    QVERIFY(frame.contains(inFrame(count)) && frame.contains(inFrame(log)));
    QVERIFY(inFrame(count).bottom() < c.dataView()->geometry().top());

    c.press("Command1");  // "Otwórz port"
    QVERIFY(count->isVisible());
    QCOMPARE(count->text(), QStringLiteral("Odebrano: 0 B · 0 B/s"));
    QVERIFY(device.send(QByteArray(1500, 'x')));
    QTRY_VERIFY(count->text().startsWith(QStringLiteral("Odebrano: 1 500 B · ")));
    QVERIFY(count->text() != QStringLiteral("Odebrano: 1 500 B · 0 B/s"));

    // Closing keeps the count; opening again starts it from nothing.
    c.press("Command2");
    QVERIFY(count->text().startsWith(QStringLiteral("Odebrano: 1 500 B")));
    c.press("Command1");
    QCOMPARE(count->text(), QStringLiteral("Odebrano: 0 B · 0 B/s"));
    QCOMPARE(c.takeFailures(), QStringList());
}

// The rate is the bytes of the last two seconds over them, idle time
// included: it falls to nothing in a stall, and sampling may then stop. The
// first bytes after a pause, noted with a sample before they are added, are
// not spread over the pause: two seconds on, the rate is the true one.
void TestDataViews::rateIsOverTheLastSeconds() {
    ReceiveCounter counter;
    // 1000 bytes a second, noted four times a second.
    const auto flow = [&counter](qint64 fromMs, qint64 toMs) {
        for (qint64 ms = fromMs + 250; ms <= toMs; ms += 250) {
            counter.add(250);
            counter.sample(ms);
        }
    };
    counter.restart(10'000);
    flow(10'000, 20'000);
    QCOMPARE(counter.rate(), 1000);
    QVERIFY(!counter.isIdle());
    counter.sample(21'000);
    QCOMPARE(counter.rate(), 500);
    counter.sample(22'000);
    QCOMPARE(counter.rate(), 0);
    QVERIFY(counter.isIdle());

    // A pause of 12 s without samples, then the same flow again.
    counter.sample(34'000);
    flow(34'000, 35'000);
    QCOMPARE(counter.rate(), 500);
    flow(35'000, 36'000);
    QCOMPARE(counter.rate(), 1000);
    QCOMPARE(counter.text(), QStringLiteral("Odebrano: 12 000 B · 1 000 B/s"));
    QCOMPARE(ReceiveCounter::grouped(1'234'567), QStringLiteral("1 234 567"));
    QCOMPARE(ReceiveCounter::grouped(958), QStringLiteral("958"));
}

QTEST_MAIN(TestDataViews)
#include "tst_dataviews.moc"
