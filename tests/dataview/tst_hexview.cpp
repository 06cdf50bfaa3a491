// The DATA view's hex view: the same text as rows of bytes, read-only,
// sharing the caret and the selection with the text; it follows the end
// while bytes arrive, copies as rows, and shows a character without a byte
// as itself.
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QScrollBar>
#include <QTest>

#include "dataview_p.h"

namespace {

EditingModel &model(DataView &view) {
    return DataViewPrivate::get(&view)->model();
}
DataViewPrivate &inside(DataView &view) {
    return *DataViewPrivate::get(&view);
}

void showView(DataView &view) {
    view.resize(600, 240);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
}

}  // namespace

class TestHexView : public QObject {
    Q_OBJECT

private slots:
    // Back and forth: the caret stays on its byte, and the first character
    // in sight stays in sight.
    void switchKeepsTheCaretsByteAndThePartInSight() {
        DataView view;
        showView(view);
        if (QTest::currentTestFailed())
            return;
        QString text;
        for (int i = 0; i < 300; ++i)
            text += QStringLiteral("line %1 %2\r\n").arg(i).arg(QString(i % 40, u'x'));
        view.setText(text);
        view.verticalScrollBar()->setValue(120);
        const qsizetype top = model(view).line(120).start;
        model(view).setCaret(top + 3);

        view.setHexView(true);
        QCOMPARE(model(view).caret(), top + 3);
        QCOMPARE(inside(view).firstVisibleLine(), top / HexRows::RowBytes);
        QTest::keyClick(&view, Qt::Key_Down);  // a row down: sixteen bytes on
        QCOMPARE(model(view).caret(), top + 3 + HexRows::RowBytes);
        QTest::keyClick(&view, Qt::Key_H, Qt::ControlModifier);
        QVERIFY(!view.isHexView());
        QCOMPARE(model(view).caret(), top + 3 + HexRows::RowBytes);
        QCOMPARE(inside(view).firstVisibleLine(), 120);

        // On the LF of a CR LF in the hex view; in the text the caret never
        // stands inside one, so it goes before it.
        view.setHexView(true);
        const qsizetype lf = model(view).line(121).shownEnd() + 1;
        model(view).select(lf, lf);
        view.setHexView(false);
        QCOMPARE(model(view).caret(), lf - 1);
    }

    void followsTheEndAndStaysWhereScrolled() {
        // Without fonts a row is a pixel or two high and all are in sight:
        // Qt's offscreen platform on Windows reads them from QT_QPA_FONTDIR
        // (the Wine prefix's fonts, tests/wine/wine.sh).
        QVERIFY2(!QFontDatabase::families().isEmpty(), "Qt finds no fonts, so rows have no height");
        DataView view;
        showView(view);
        if (QTest::currentTestFailed())
            return;
        view.setText(QString());
        view.setHexView(true);
        const QScrollBar *bar = view.verticalScrollBar();
        view.appendReceivedBytes(QByteArray(100 * HexRows::RowBytes, 'a'));
        QTRY_VERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());
        QCOMPARE(inside(view).firstVisibleLine(), 101 - inside(view).visibleLines());

        QTest::keyClick(&view, Qt::Key_PageUp);
        const qsizetype top = inside(view).firstVisibleLine();
        QVERIFY(top < 101 - inside(view).visibleLines());
        view.appendReceivedBytes(QByteArray(50 * HexRows::RowBytes, 'b'));
        QTest::qWait(60);
        QCOMPARE(inside(view).firstVisibleLine(), top);
    }

    // Read-only: keys that edit the text do nothing. Copying gives the rows
    // that hold the selection, as they are shown.
    void rowsAreReadOnlyAndCopyAsText() {
        DataView view;
        showView(view);
        if (QTest::currentTestFailed())
            return;
        view.setText(QStringLiteral("DATA\r\n"));
        view.appendReceivedBytes("OK 17\r\nEND 2\r\n");
        view.setHexView(true);
        const QString text = view.text();
        model(view).select(3, 17);
        QTest::keyClick(&view, Qt::Key_X);
        QTest::keyClick(&view, Qt::Key_Delete);
        QTest::keyClick(&view, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(&view, Qt::Key_Return);
        QCOMPARE(view.text(), text);

        QApplication::clipboard()->clear();
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("00000000  44 41 54 41 0D 0A 4F 4B  20 31 37 0D 0A 45 4E 44  "
                                "|DATA..OK 17..END|\n"
                                "00000010  20 32 0D 0A") +
                     QString(39, u' ') + QStringLiteral("| 2..|\n"));
    }

    // A character the code page has no byte for is shown as itself, never as
    // a byte: "--" in hex. A surrogate pair is shown on its first half, or
    // as two replacement characters where rows part it.
    void characterWithoutAByteShowsAsItself() {
        DataView view;
        view.setText(QStringLiteral("aΩ😀b") + QString(10, u'c') + QStringLiteral("😀z"));
        const HexRows &rows = inside(view).hexRows();
        QCOMPARE(rows.rowText(0), QStringLiteral("00000000  61 -- -- -- 62 63 63 63  "
                                                 "63 63 63 63 63 63 63 --  |aΩ😀bcccccccccc�|"));
        QCOMPARE(rows.rowText(1).section(u'|', 1, 1), QStringLiteral("�z"));
        QCOMPARE(rows.row(1).cells[0].byte, -1);
        QCOMPARE(rows.row(1).cells[1].byte, 'z');
    }
};

QTEST_MAIN(TestHexView)
#include "tst_hexview.moc"
