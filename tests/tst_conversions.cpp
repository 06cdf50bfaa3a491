// Conversions at the edge of the line: bytes and characters, the port number
// the operator types, and the line settings text.
#include "codepage.h"
#include "commerror.h"
#include "linesettings.h"
#include "portnumber.h"

#include <QStringDecoder>
#include <QTest>

class TestConversions : public QObject {
    Q_OBJECT

private slots:
    void tableAgreesWithQtsConverter();
    void everyByteRoundTrips();
    void polishLettersAreWindows1250();
    void undefinedBytesAreControlCharacters();
    void unencodableCharactersBecomeQuestionMarks();

    void portNumber_data();
    void portNumber();

    void lineSettings_data();
    void lineSettings();
};

// The console's own table says what Qt's Windows-1250 converter says for
// every byte; where the converter gives no character, the byte stands for
// the control character of the same value.
void TestConversions::tableAgreesWithQtsConverter() {
    QStringDecoder decoder("windows-1250");
    // Qt converts other code pages through ICU, which a Qt for Windows may
    // lack; the console's own table needs none.
    if (!decoder.isValid())
        QSKIP("this Qt has no Windows-1250 converter (built without ICU)");
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        const QString qt = decoder.decode(QByteArrayView(&byte, 1));
        decoder.resetState();
        const QChar ours(CodePage::charset()->character(uchar(b)));
        if (qt.size() == 1 && qt.at(0) != QChar::ReplacementCharacter)
            QCOMPARE(ours, qt.at(0));
        else
            QCOMPARE(ours, QChar(b));
    }
}

void TestConversions::everyByteRoundTrips() {
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(char(b));
    const QString text = CodePage::decode(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(CodePage::encode(text), all);
    // One character per byte, all different.
    QCOMPARE(QSet<QChar>(text.begin(), text.end()).size(), 256);
}

void TestConversions::polishLettersAreWindows1250() {
    const QString letters = QStringLiteral("ąćęłńóśźżĄĆĘŁŃÓŚŹŻ€");
    const QByteArray bytes(
        "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF\x80");
    QCOMPARE(CodePage::encode(letters), bytes);
    QCOMPARE(CodePage::decode(bytes), letters);
}

void TestConversions::undefinedBytesAreControlCharacters() {
    for (int b : {0x81, 0x83, 0x88, 0x90, 0x98}) {
        const QString ch = CodePage::decode(QByteArray(1, char(b)));
        QCOMPARE(ch, QString(QChar(b)));
    }
}

void TestConversions::unencodableCharactersBecomeQuestionMarks() {
    // Cyrillic, CJK and a character outside the BMP (one "?", not two).
    QCOMPARE(CodePage::encode(QStringLiteral("aЖ中b")), QByteArray("a??b"));
    QCOMPARE(CodePage::encode(QString::fromUtf8("x\xF0\x9F\x98\x80y")), QByteArray("x?y"));
    // A lone surrogate is no character either.
    QCOMPARE(CodePage::encode(QString(QChar(0xD800))), QByteArray("?"));
    // NUL is a character of its own and is sent as byte 0.
    QCOMPARE(CodePage::encode(QString(QChar(0))), QByteArray(1, '\0'));
}

void TestConversions::portNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");

    QTest::newRow("default") << "2" << true << 2;
    QTest::newRow("blanks around") << " \t 7  " << true << 7;
    QTest::newRow("plus sign") << "+2" << true << 2;
    QTest::newRow("minus zero") << "-0" << true << 0;
    QTest::newRow("negative") << "-5" << true << -5;
    QTest::newRow("leading zeros") << "0003" << true << 3;
    QTest::newRow("max") << "32767" << true << 32767;
    QTest::newRow("min") << "-32768" << true << -32768;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("blanks only") << "   " << false << 0;
    QTest::newRow("sign only") << "-" << false << 0;
    QTest::newRow("two signs") << "+-2" << false << 0;
    QTest::newRow("sign after blank inside") << "- 2" << false << 0;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("trailing letter") << "2a" << false << 0;
    QTest::newRow("fraction") << "2.5" << false << 0;
    QTest::newRow("comma fraction") << "2,0" << false << 0;
    QTest::newRow("group separator") << "1 000" << false << 0;
    QTest::newRow("exponent") << "1e1" << false << 0;
    QTest::newRow("hex") << "0x2" << false << 0;
    QTest::newRow("full-width digit") << QStringLiteral("２") << false << 0;
    QTest::newRow("arabic-indic digit") << QStringLiteral("٢") << false << 0;
    QTest::newRow("trailing line feed") << "2\n" << false << 0;
    QTest::newRow("NUL inside") << QString("2") + QChar(0) << false << 0;
    QTest::newRow("above range") << "32768" << false << 0;
    QTest::newRow("below range") << "-32769" << false << 0;
    QTest::newRow("huge") << QString(10000, u'9') << false << 0;
}

void TestConversions::portNumber() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, value);
    const auto parsed = PortNumber::parse(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(int(*parsed), value);
}

void TestConversions::lineSettings_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("standard") << "9600,N,8,1" << true;
    QTest::newRow("even 7 2") << "19200,E,7,2" << true;
    QTest::newRow("lower-case parity") << "9600,o,8,1" << true;
    QTest::newRow("three fields") << "9600,N,8" << false;
    QTest::newRow("five fields") << "9600,N,8,1,1" << false;
    QTest::newRow("bad baud") << "fast,N,8,1" << false;
    QTest::newRow("zero baud") << "0,N,8,1" << false;
    QTest::newRow("bad parity") << "9600,X,8,1" << false;
    QTest::newRow("bad data bits") << "9600,N,9,1" << false;
    QTest::newRow("bad stop bits") << "9600,N,8,3" << false;
    QTest::newRow("empty") << "" << false;
}

void TestConversions::lineSettings() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    if (!valid) {
        QVERIFY_THROWS_EXCEPTION(CommError, LineSettings::parse(text));
        return;
    }
    const LineSettings s = LineSettings::parse(text);
    QCOMPARE(s.toString(), text.toUpper());
}

QTEST_GUILESS_MAIN(TestConversions)
#include "tst_conversions.moc"
