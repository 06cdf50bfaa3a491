// A displayed line of the DATA view is shaped in pieces, as far as it is
// drawn or asked about; whatever order it is asked in, its columns and x
// positions must be those of the whole line, and no piece may split what a
// reader sees as one character.
#include <QFontMetricsF>
#include <QTest>

#include "linelayout.h"

namespace {

LineLayout::Fonts fonts() {
    LineLayout::Fonts f;
    f.text = QFont(QStringLiteral("Liberation Sans"));
    f.text.setPixelSize(11);
    f.mark = f.text;
    f.mark.setPixelSize(9);
    const QFontMetricsF metrics(f.text);
    f.charWidth = metrics.averageCharWidth();
    f.tabWidth = 8 * f.charWidth;
    f.ascent = qRound(metrics.ascent());
    return f;
}

// Ordinary text with Polish letters, a TAB and control characters spread
// over many pieces.
QString mixedLine(int length) {
    QString text;
    const QString pattern = QStringLiteral("Zażółć gęślą jaźń 12:34:56;");
    for (int i = 0; text.size() < length; ++i) {
        text += pattern;
        if (i % 7 == 3)
            text += QChar(u'\t');
        if (i % 11 == 5)
            text += QChar(i % 2 ? u'\0' : u'\x1b');
    }
    text.truncate(length);
    return text;
}

}  // namespace

class TestLineLayout : public QObject {
    Q_OBJECT

private slots:
    void orderOfQuestionsDoesNotMatter() {
        const QString text = mixedLine(4096);
        const LineLayout fromEnd(text, fonts());
        const LineLayout fromStart(text, fonts());
        // One is shaped whole at once, the other piece by piece.
        const qreal whole = fromEnd.xForColumn(text.size());
        qreal previous = -1;
        for (int column = 0; column <= text.size(); ++column) {
            const qreal x = fromStart.xForColumn(column);
            QVERIFY2(x >= previous, qPrintable(QString::number(column)));
            QCOMPARE(x, fromEnd.xForColumn(column));
            previous = x;
        }
        QCOMPARE(fromStart.width(), whole);
        QCOMPARE(fromEnd.width(), whole);
    }

    void columnsAndXAgreeAcrossPieces() {
        const QString text = mixedLine(3000);
        const LineLayout layout(text, fonts());
        for (int column = 0; column < text.size(); column = layout.nextColumn(column)) {
            const qreal x = layout.xForColumn(column);
            const qreal next = layout.xForColumn(layout.nextColumn(column));
            // Just right of a caret stop, and just left of the next one.
            QCOMPARE(layout.columnAt(x + (next - x) / 4), column);
            QCOMPARE(layout.columnAt(next - (next - x) / 4), layout.nextColumn(column));
            QCOMPARE(layout.previousColumn(layout.nextColumn(column)), column);
        }
        QCOMPARE(layout.columnAt(layout.width() + 100), text.size());
    }

    void controlCharactersFarIntoTheLineAreMarked() {
        QString text = mixedLine(4000);
        text[3500] = QChar(u'\0');
        text[3501] = QChar(0x85);
        const LineLayout layout(text, fonts());
        QVERIFY(layout.isMarked(3500));
        QVERIFY(layout.isMarked(3501));
        QVERIFY(!layout.isMarked(3502) || LineLayout::needsMark(text.at(3502)));
        // A mark is a box of its own, wider than nothing.
        QVERIFY(layout.xForColumn(3501) > layout.xForColumn(3500));
    }

    void widthBeforeShapingIsAnEstimate() {
        const QString text(4096, QChar(u'x'));
        const LineLayout layout(text, fonts());
        const qreal estimate = layout.width();
        QVERIFY(estimate > 0);
        const qreal exact = layout.xForColumn(text.size());
        QCOMPARE(layout.width(), exact);
        // Within a factor of the real width, so the scroll range is sane.
        QVERIFY(estimate > exact / 3 && estimate < exact * 3);
    }

    void pieceBoundaryKeepsCharactersWhole_data() {
        QTest::addColumn<QString>("character");
        QTest::newRow("combining mark") << QStringLiteral("e\u0301");
        QTest::newRow("surrogate pair") << QString::fromUtf16(u"\U0001F600");
        QTest::newRow("joined emoji") << QString::fromUtf16(u"\U0001F469\u200D\U0001F4BB");
    }

    void pieceBoundaryKeepsCharactersWhole() {
        QFETCH(QString, character);
        // Place the character across every column near the first boundaries.
        for (int at = 120; at < 136; ++at) {
            for (int repeat = 1; repeat <= 2; ++repeat) {
                const int start = at * repeat;
                const QString text = QString(start, QChar(u'a')) + character + QStringLiteral("bc");
                const LineLayout layout(text, fonts());
                QCOMPARE(layout.nextColumn(start), start + character.size());
                QCOMPARE(layout.previousColumn(start + character.size()), start);
                // A click on its middle lands before or after it, never inside.
                const qreal middle =
                    (layout.xForColumn(start) + layout.xForColumn(start + character.size())) / 2;
                const int column = layout.columnAt(middle);
                QVERIFY(column == start || column == start + character.size());
            }
        }
    }
};

QTEST_MAIN(TestLineLayout)
#include "tst_linelayout.moc"
