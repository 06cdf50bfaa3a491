// The DATA view's editing model without a widget: the caret and its goal
// column, edits and what they announce, as the view, find and assistive
// technology drive them.
#include <QSignalSpy>
#include <QTest>

#include "editingmodel.h"
#include "testcharsets.h"

namespace {

using Move = EditingModel::Move;

// Characters the text holds two bytes a character, as a reader sees them.
qsizetype wideCharacters(const TextReader &text) {
    qsizetype wide = 0;
    text.visit(0, text.length(), [&](const TextSpan &span) {
        wide += span.isWide() ? span.size() : 0;
        return true;
    });
    return wide;
}

}  // namespace

class TestEditingModel : public QObject {
    Q_OBJECT

private slots:
    void upAndDownKeepTheirColumnOtherMovesForgetIt() {
        EditingModel model;
        model.setText(u"abcdefgh\r\nab\r\nabcdefgh\r\nabcdefgh");
        model.setCaret(6);
        model.move(Move::NextLine);
        QCOMPARE(model.caret(), 12);  // the end of the short line
        model.move(Move::NextLine);
        QCOMPARE(model.caret(), 14 + 6);  // back at the column it came from
        model.move(Move::NextPage, EditingModel::MoveAnchor, 5);
        QCOMPARE(model.caret(), 24 + 6);  // a page down reaches the last line, same column

        // Any other move sets a new column.
        model.move(Move::PreviousChar);
        QCOMPARE(model.caret(), 24 + 5);
        model.move(Move::PreviousLine);
        QCOMPARE(model.caret(), 14 + 5);
        model.move(Move::PreviousLine);
        QCOMPARE(model.caret(), 12);
        model.move(Move::PreviousLine);
        QCOMPARE(model.caret(), 5);

        // So do a placed caret, an edit and a selection.
        for (int way = 0; way < 3; ++way) {
            model.setCaret(14 + 7);
            model.move(Move::PreviousLine);
            if (way == 0)
                model.setCaret(1);
            else if (way == 1)
                model.type(u"x");
            else
                model.select(0, 1);
            model.move(Move::NextLine);
            model.move(Move::NextLine);
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

    // The operator's slip: typed text, received text, everything selected
    // and deleted, more received. Undo brings back exactly what was deleted,
    // before what arrived since; redo takes it away again; received text is
    // never undone.
    void undoPutsBackWhatWasDeletedBeforeLaterReception() {
        EditingModel model;
        model.setText(u"DATA\r\n");
        model.appendReceived(u"OK CF READY\r");
        model.type(u"ab");
        model.appendReceived(u"SIZE 1\r");
        model.selectAll();
        model.removeSelection();
        QCOMPARE(model.text(), QString());
        model.appendReceived(u"FREE 2\r");

        const QString all = QStringLiteral("DATA\r\nOK CF READY\rabSIZE 1\r");
        model.undo();
        QCOMPARE(model.text(), all + "FREE 2\r");
        QCOMPARE(model.selectedText(), all);  // the selection it was deleted from
        model.redo();
        QCOMPARE(model.text(), QStringLiteral("FREE 2\r"));
        QCOMPARE(model.caret(), 0);
        model.undo();
        model.undo();
        QCOMPARE(model.text(), QStringLiteral("DATA\r\nOK CF READY\rSIZE 1\rFREE 2\r"));
        QVERIFY(!model.canUndo());
        model.undo();
        QCOMPARE(model.text(), QStringLiteral("DATA\r\nOK CF READY\rSIZE 1\rFREE 2\r"));
        model.redo();
        model.redo();
        QCOMPARE(model.text(), QStringLiteral("FREE 2\r"));
        QVERIFY(!model.canRedo());
        // The lines follow the text through every swap.
        QCOMPARE(model.lineCount(), 2);
    }

    // What one undo takes back.
    void stepsGroupAsInOrdinaryEditors_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("afterOneUndo");
        // Capitals are typed; e: Enter, b: Backspace, d: Delete, m: move
        // left and back, r: a received chunk, x: paste, s: select "01".
        QTest::newRow("typing is one step") << "ABC"
                                            << "0123456789";
        QTest::newRow("Enter goes with typing") << "AeB"
                                                << "0123456789";
        QTest::newRow("a move ends the typing") << "ABmC"
                                                << "01234AB56789";
        QTest::newRow("a received chunk ends it") << "ABrC"
                                                  << "01234AB56789R";
        QTest::newRow("Backspaces are one step") << "bbb"
                                                 << "0123456789";
        QTest::newRow("Deletes are one step") << "ddd"
                                              << "0123456789";
        QTest::newRow("Backspace after typing is its own") << "ABbb"
                                                           << "01234AB56789";
        QTest::newRow("paste stands alone") << "Ax"
                                            << "01234A56789";
        QTest::newRow("typing over a selection") << "sA"
                                                 << "0123456789";
    }

    void stepsGroupAsInOrdinaryEditors() {
        QFETCH(QString, script);
        QFETCH(QString, afterOneUndo);
        EditingModel model;
        model.setText(u"0123456789");
        model.setCaret(5);
        for (const QChar op : script) {
            switch (op.unicode()) {
                case u'e':
                    model.type(u"\n");
                    break;
                case u'b':
                    model.deleteBackward();
                    break;
                case u'd':
                    model.deleteForward();
                    break;
                case u'm':
                    model.move(Move::PreviousChar);
                    model.move(Move::NextChar);
                    break;
                case u'r':
                    model.appendReceived(u"R");
                    break;
                case u's':
                    model.setCaret(0, 2);
                    break;
                case u'x':
                    model.paste(u"X");
                    break;
                default:
                    model.type(QString(op));
            }
        }
        model.undo();
        QCOMPARE(model.text(), afterOneUndo);
    }

    // A new edit leaves nothing to redo; replacing the whole text forgets
    // everything and gives the memory back.
    void newEditsAndNewTextForgetWhatCameBefore() {
        EditingModel model;
        model.setText(QString(100000, u'x'));
        model.selectAll();
        model.removeSelection();
        QVERIFY(model.history().bytes() >= 100000);
        model.undo();
        QVERIFY(model.canRedo());
        model.setCaret(3);
        model.type(u"y");
        QVERIFY(!model.canRedo());
        QVERIFY(model.canUndo());

        model.setText(u"DATA\r\n");
        QVERIFY(!model.canUndo());
        QVERIFY(!model.canRedo());
        QCOMPARE(model.history().bytes(), 0);
        QCOMPARE(model.history().steps(), 0);
    }

    // At most MaxSteps steps; the oldest go first.
    void historyIsBoundedBySteps() {
        EditingModel model;
        model.setText(u"");
        const int count = UndoHistory::MaxSteps + 5;
        for (int i = 0; i < count; ++i) {
            model.setCaret(model.length());
            model.type(u"x");
        }
        QCOMPARE(model.history().steps(), UndoHistory::MaxSteps);
        while (model.canUndo()) model.undo();
        QCOMPARE(model.text(), QString(5, u'x'));
    }

    // At most MaxBytes of held text, oldest first; but the step undo acts on
    // next stays whatever its size, and holds what the text held, not a copy.
    void historyIsBoundedByMemoryYetTheLastStepStays() {
        // Blocks of 40 % of the bound each, whatever a character costs.
        TextStore probe;
        probe.append(QString(4 * TextStore::PieceSize, u'a'));
        const qsizetype block =
            UndoHistory::MaxBytes * 4 / 10 / (probe.allocatedBytes() / probe.size());
        EditingModel model;
        model.setText(u"");
        for (const char16_t letter : {u'a', u'b', u'c'})
            model.appendReceived(QString(block, letter));
        // Three deletes: only the last two fit.
        for (int i = 0; i < 3; ++i) {
            model.setCaret(0, block);
            model.removeSelection();
        }
        QCOMPARE(model.history().steps(), 2);
        model.undo();
        model.undo();
        QCOMPARE(model.length(), 2 * block);
        QCOMPARE(model.mid(0, 1), QStringLiteral("b"));
        QCOMPARE(model.mid(block, 1), QStringLiteral("c"));

        // One step larger than the bound.
        model.setText(QString(3 * block, u'z'));
        const qsizetype held = model.memoryUsed();
        model.selectAll();
        model.removeSelection();
        QVERIFY(model.history().bytes() > UndoHistory::MaxBytes);
        QVERIFY2(model.history().bytes() <= held + 1024,
                 qPrintable(QStringLiteral("%1 > %2").arg(model.history().bytes()).arg(held)));
        model.appendReceived(u"OK\r");
        model.undo();
        QCOMPARE(model.text(), QString(3 * block, u'z') + "OK\r");
        QCOMPARE(model.lineCount(), (3 * block + 2 + LineIndex::Limit - 1) / LineIndex::Limit + 1);
    }

    // Received bytes are held as they came, one a character, and read
    // through the charset. Edits that bring characters beyond it, and undo
    // and redo of them, switch pieces between one byte and two a character
    // and back, with the text exactly as a string would have it.
    void undoAcrossBytesAndCharactersBeyondTheCharset() {
        EditingModel model;
        model.setByteCharset(TestCharsets::polish());
        model.setText(u"DATA\r\n");
        QString expected = QStringLiteral("DATA\r\n");
        const QByteArray line("ODCZYT \xB9\xBF 123\r\n");  // "ODCZYT ąż 123"
        for (int i = 0; i < 3 * TextStore::PieceSize / line.size(); ++i) {
            model.appendReceivedBytes(QByteArrayView(line));
            expected += QStringLiteral("ODCZYT ąż 123\r\n");
        }
        QCOMPARE(model.text(), expected);
        QCOMPARE(wideCharacters(model), 0);
        // One byte a character: with the lines and the room in the last
        // piece, well under two.
        QVERIFY2(model.memoryUsed() < 2 * expected.size(),
                 qPrintable(QString::number(model.memoryUsed())));

        // Pasted over a stretch across two pieces, typed into the third.
        const qsizetype from = TextStore::PieceSize - 5;
        model.select(from, from + 10);
        model.paste(u"Ω中😀");
        expected.replace(from, 10, QStringLiteral("Ω中😀"));
        model.setCaret(2 * TextStore::PieceSize + 3);
        model.type(u"ąΩ");
        expected.insert(2 * TextStore::PieceSize + 3, QStringLiteral("ąΩ"));
        QCOMPARE(model.text(), expected);
        QVERIFY(wideCharacters(model) > 0);
        const QString edited = expected;

        // Received after the edits: kept through undo and redo.
        model.appendReceivedBytes(QByteArrayView("\xA3OK\r"));
        const QString received = QStringLiteral("ŁOK\r");
        model.undo();
        model.undo();
        QString original;
        for (int i = 0; i < 3 * TextStore::PieceSize / line.size(); ++i)
            original += QStringLiteral("ODCZYT ąż 123\r\n");
        QCOMPARE(model.text(), QStringLiteral("DATA\r\n") + original + received);
        QCOMPARE(wideCharacters(model), 0);
        model.redo();
        model.redo();
        QCOMPARE(model.text(), edited + received);
        // Every CR LF ends a line, and so does the lone CR at the end.
        QCOMPARE(model.lineCount(), model.text().count(u'\n') + 2);
    }

    void readOnlyRefusesEveryEdit() {
        EditingModel model;
        model.setText(u"DATA\r\nOK");
        model.setCaret(0);
        model.type(u"x");
        model.setReadOnly(true);
        QVERIFY(!model.canUndo());
        model.undo();
        QCOMPARE(model.text(), QStringLiteral("xDATA\r\nOK"));
        model.setCaret(2, 7);
        model.type(u"x");
        model.paste(u"y");
        model.removeSelection();
        model.deleteBackward();
        model.deleteForward();
        model.deleteWordBackward();
        model.deleteWordForward();
        model.replace(0, 2, u"z");
        model.undo();
        QCOMPARE(model.text(), QStringLiteral("xDATA\r\nOK"));
        // Reading, moving and receiving still work.
        QCOMPARE(model.selectedText(), QStringLiteral("ATA\r\n"));
        model.appendReceived(u"\r");
        QCOMPARE(model.text(), QStringLiteral("xDATA\r\nOK\r"));
    }
};

QTEST_GUILESS_MAIN(TestEditingModel)
#include "tst_editingmodel.moc"
