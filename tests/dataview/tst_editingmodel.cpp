// The DATA view's editing model without a widget: the caret and its goal
// column, edits and what they announce, as the view, find and assistive
// technology drive them.
#include <QSignalSpy>
#include <QTest>

#include "editingmodel.h"

namespace {

using Move = EditingModel::Move;

}  // namespace

class TestEditingModel : public QObject {
    Q_OBJECT

private slots:
    void upAndDownKeepTheirColumnOtherMovesForgetIt() {
        EditingModel model;
        model.setText(u"abcdefgh\r\nab\r\nabcdefgh\r\nabcdefgh");
        model.setCaret(6);
        model.move(Move::NextLine, false);
        QCOMPARE(model.caret(), 12);  // the end of the short line
        model.move(Move::NextLine, false);
        QCOMPARE(model.caret(), 14 + 6);  // back at the column it came from
        model.move(Move::NextPage, false, 5);
        QCOMPARE(model.caret(), 24 + 6);  // a page down reaches the last line, same column

        // Any other move sets a new column.
        model.move(Move::PreviousChar, false);
        QCOMPARE(model.caret(), 24 + 5);
        model.move(Move::PreviousLine, false);
        QCOMPARE(model.caret(), 14 + 5);
        model.move(Move::PreviousLine, false);
        QCOMPARE(model.caret(), 12);
        model.move(Move::PreviousLine, false);
        QCOMPARE(model.caret(), 5);

        // So do a placed caret, an edit and a selection.
        for (int way = 0; way < 3; ++way) {
            model.setCaret(14 + 7);
            model.move(Move::PreviousLine, false);
            if (way == 0)
                model.setCaret(1);
            else if (way == 1)
                model.type(u"x");
            else
                model.select(0, 1);
            model.move(Move::NextLine, false);
            model.move(Move::NextLine, false);
            QVERIFY2(model.caretPlace().column < 7, qPrintable(QString::number(way)));
            model.setText(u"abcdefgh\r\nab\r\nabcdefgh\r\nabcdefgh");
        }
    }

    void editsAnnounceWhatChanged() {
        EditingModel model;
        model.setText(u"DATA\r\n");
        QSignalSpy removing(&model, &EditingModel::aboutToRemove);
        QSignalSpy changed(&model, &EditingModel::textChanged);
        QSignalSpy moved(&model, &EditingModel::caretMoved);

        model.appendReceived(u"OK\r");
        QCOMPARE(changed.takeFirst(), (QVariantList{6, 0, 3}));
        QCOMPARE(model.caret(), 9);  // followed the end
        QCOMPARE(moved.size(), 0);   // but the operator did not move it

        model.setCaret(0, 4);
        QCOMPARE(moved.size(), 1);
        model.type(u"x\ny");
        QCOMPARE(removing.takeFirst(), (QVariantList{0, 4}));
        QCOMPARE(changed.takeFirst(), (QVariantList{0, 4, 4}));
        QCOMPARE(model.text(), QStringLiteral("x\r\ny\r\nOK\r"));
        QCOMPARE(model.caret(), 4);

        // A chunk never moves a caret that is not at the end.
        model.appendReceived(u"more");
        QCOMPARE(model.caret(), 4);
        model.replace(1, 3, u"-");
        QCOMPARE(changed.last(), (QVariantList{1, 2, 1}));
        QCOMPARE(model.text(), QStringLiteral("x-y\r\nOK\rmore"));
    }

    void readOnlyRefusesEveryEdit() {
        EditingModel model;
        model.setText(u"DATA\r\nOK");
        model.setReadOnly(true);
        model.setCaret(2, 6);
        model.type(u"x");
        model.paste(u"y");
        model.removeSelection();
        model.deleteBackward();
        model.deleteForward();
        model.deleteWordBackward();
        model.deleteWordForward();
        model.replace(0, 2, u"z");
        QCOMPARE(model.text(), QStringLiteral("DATA\r\nOK"));
        // Reading, moving and receiving still work.
        QCOMPARE(model.selectedText(), QStringLiteral("TA\r\n"));
        model.appendReceived(u"\r");
        QCOMPARE(model.text(), QStringLiteral("DATA\r\nOK\r"));
    }
};

QTEST_MAIN(TestEditingModel)
#include "tst_editingmodel.moc"
