// The DATA view through Qt's accessibility API, as a screen reader's bridge
// sees it: an editable multi-line text whose characters, lines, caret and
// selection it can read and set, whose edits are the operator's own, and
// whose changes it hears about at most once a frame.
#include <QAccessible>
#include <QApplication>
#include <QTest>

#include <vector>

#include "dataview_p.h"
#include "dataviewengine.h"
#include "textannouncer.h"

namespace {

EditingModel &model(DataView &view) {
    return DataViewPrivate::get(&view)->model();
}
const DataViewPrivate &inside(const DataView &view) {
    return *DataViewPrivate::get(&view);
}

struct Heard {
    QAccessible::Event type;
    int position;
    QString text;
};

std::vector<Heard> heard;
QObject *listenedTo = nullptr;

void listen(QAccessibleEvent *event) {
    if (event->object() != listenedTo)
        return;
    switch (event->type()) {
        case QAccessible::TextInserted: {
            auto *e = static_cast<QAccessibleTextInsertEvent *>(event);
            heard.push_back({event->type(), e->changePosition(), e->textInserted()});
            break;
        }
        case QAccessible::TextRemoved: {
            auto *e = static_cast<QAccessibleTextRemoveEvent *>(event);
            heard.push_back({event->type(), e->changePosition(), e->textRemoved()});
            break;
        }
        case QAccessible::TextCaretMoved:
            heard.push_back({event->type(),
                             static_cast<QAccessibleTextCursorEvent *>(event)->cursorPosition(),
                             {}});
            break;
        default:
            break;
    }
}

QString describe(const std::vector<Heard> &events) {
    QStringList out;
    for (const Heard &h : events) {
        const char *kind = h.type == QAccessible::TextInserted  ? "insert"
                           : h.type == QAccessible::TextRemoved ? "remove"
                                                                : "caret";
        out << QStringLiteral("%1 %2 %3").arg(kind).arg(h.position).arg(h.text.left(20));
    }
    return out.join(u"; ");
}

// Lets the frame pass in which what was gathered is sent: until it is heard,
// however late a busy machine's timer fires.
void nextFrame() {
    const size_t before = heard.size();
    // Nothing heard is the comparison's to tell, with what was expected.
    static_cast<void>(QTest::qWaitFor([before] { return heard.size() > before; }, 5000));
}

}  // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { DataViewEngine::initialize(); }

    void isAnEditableMultiLineText() {
        DataView view;
        view.setText(QStringLiteral("DATA\r\nOK\r"));
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(&view);
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::EditableText);
        QVERIFY(a->state().multiLine);
        QVERIFY(a->state().editable);
        QVERIFY(!a->state().readOnly);
        QVERIFY(a->textInterface());
        QVERIFY(a->editableTextInterface());
        QAccessibleTextInterface *text = a->textInterface();
        QCOMPARE(text->characterCount(), 9);
        QCOMPARE(text->text(0, 9), QStringLiteral("DATA\r\nOK\r"));
        QCOMPARE(text->text(2, 7), QStringLiteral("TA\r\nO"));

        view.setReadOnly(true);
        QVERIFY(a->state().readOnly);
        QVERIFY(!a->state().editable);
    }

    void textByCharacterWordLineAndParagraph_data() {
        QTest::addColumn<int>("boundary");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("at");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        const int ch = QAccessible::CharBoundary;
        const int word = QAccessible::WordBoundary;
        const int line = QAccessible::LineBoundary;
        const int para = QAccessible::ParagraphBoundary;
        // The text: "OK CF READY\r\n" "SIZE 1\r" "😀x\n" + long line of
        // 4096 'a' and "bc" (a display break after 4096) + "\r\n" "end".
        QTest::newRow("character") << ch << 1 << "K"
                                   << "O"
                                   << " ";
        QTest::newRow("surrogate pair") << ch << 21 << "😀"
                                        << "\r"
                                        << "x";
        QTest::newRow("word") << word << 4 << "CF"
                              << " "
                              << " ";
        QTest::newRow("line with CR LF") << line << 3 << "OK CF READY\r\n"
                                         << ""
                                         << "SIZE 1\r";
        QTest::newRow("line with lone CR") << line << 15 << "SIZE 1\r"
                                           << "OK CF READY\r\n"
                                           << "😀x\n";
        QTest::newRow("displayed line of a long one") << line << 26 << QString(4096, u'a') << "😀x\n"
                                                      << "bc\r\n";
        QTest::newRow("paragraph over the display break")
            << para << 26 << QString(4096, u'a') + "bc\r\n"
            << "😀x\n"
            << "end";
    }

    void textByCharacterWordLineAndParagraph() {
        QFETCH(int, boundary);
        QFETCH(int, offset);
        QFETCH(QString, at);
        QFETCH(QString, before);
        QFETCH(QString, after);
        DataView view;
        view.setText(QStringLiteral("OK CF READY\r\nSIZE 1\r\U0001F600x\n") + QString(4096, u'a') +
                     QStringLiteral("bc\r\nend"));
        QAccessibleTextInterface *text =
            QAccessible::queryAccessibleInterface(&view)->textInterface();
        const auto type = QAccessible::TextBoundaryType(boundary);
        int start = -1, end = -1;
        QCOMPARE(text->textAtOffset(offset, type, &start, &end), at);
        QCOMPARE(text->text(start, end), at);
        QVERIFY(start <= offset && offset < end);
        QCOMPARE(text->textBeforeOffset(offset, type, &start, &end), before);
        QCOMPARE(text->text(start, end), before);
        QCOMPARE(text->textAfterOffset(offset, type, &start, &end), after);
        QCOMPARE(text->text(start, end), after);
    }

    void caretSelectionAndPlaces() {
        DataView view;
        view.resize(400, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setText(QStringLiteral("DATA\r\nOK CF READY\r\nSIZE 1"));
        QAccessibleTextInterface *text =
            QAccessible::queryAccessibleInterface(&view)->textInterface();

        text->setCursorPosition(8);
        QCOMPARE(model(view).caret(), 8);
        QCOMPARE(text->cursorPosition(), 8);
        QCOMPARE(text->selectionCount(), 0);
        text->setSelection(0, 6, 8);
        QCOMPARE(model(view).selectedText(), QStringLiteral("OK"));
        int start = -1, end = -1;
        text->selection(0, &start, &end);
        QCOMPARE(start, 6);
        QCOMPARE(end, 8);
        QCOMPARE(text->selectionCount(), 1);
        text->removeSelection(0);
        QCOMPARE(text->selectionCount(), 0);
        text->addSelection(19, 25);
        QCOMPARE(model(view).selectedText(), QStringLiteral("SIZE 1"));

        // Where a character is on the screen, and back.
        for (const int offset : {0, 7, 21}) {
            const QRect rect = text->characterRect(offset);
            QVERIFY2(rect.width() > 1, qPrintable(QString::number(offset)));
            QCOMPARE(rect.topLeft(),
                     view.viewport()->mapToGlobal(inside(view).cursorRect(offset).topLeft()));
            QCOMPARE(text->offsetAtPoint(rect.center() - QPoint(rect.width() / 4, 0)), offset);
        }
        QCOMPARE(text->offsetAtPoint(view.viewport()->mapToGlobal(QPoint(-5, -5))), -1);
    }

    // Edits through assistive technology are the operator's: they undo, and
    // a read-only view refuses them.
    void editsAreTheOperators() {
        DataView view;
        view.setText(QStringLiteral("DATA\r\nOK\r"));
        QAccessibleEditableTextInterface *edit =
            QAccessible::queryAccessibleInterface(&view)->editableTextInterface();
        edit->insertText(6, QStringLiteral("new\n"));
        QCOMPARE(view.text(), QStringLiteral("DATA\r\nnew\r\nOK\r"));
        edit->deleteText(0, 4);
        QCOMPARE(view.text(), QStringLiteral("\r\nnew\r\nOK\r"));
        edit->replaceText(2, 5, QStringLiteral("old"));
        QCOMPARE(view.text(), QStringLiteral("\r\nold\r\nOK\r"));
        QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(view.text(), QStringLiteral("DATA\r\nOK\r"));

        view.setReadOnly(true);
        edit->insertText(0, QStringLiteral("x"));
        edit->deleteText(0, 4);
        edit->replaceText(0, 4, QStringLiteral("y"));
        QCOMPARE(view.text(), QStringLiteral("DATA\r\nOK\r"));
    }

    // The double click and a screen reader take the same word: there is one
    // rule of what a word is.
    void doubleClickAndScreenReaderAgreeOnWords() {
        const QString line = QStringLiteral("don't 3.14 12:30:45 foo_bar, żółw-7\tx  y");
        DataView view;
        view.resize(500, 100);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setText(line);
        QAccessibleTextInterface *text =
            QAccessible::queryAccessibleInterface(&view)->textInterface();
        int start = -1, end = -1;
        for (int offset = 0; offset < line.size(); ++offset) {
            const QString word =
                text->textAtOffset(offset, QAccessible::WordBoundary, &start, &end);
            const QPoint at = inside(view).cursorRect(offset).center() + QPoint(1, 0);
            QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, at);
            QVERIFY2(model(view).selectedText() == word,
                     qPrintable(QStringLiteral("%1: \"%2\" and \"%3\"")
                                    .arg(offset)
                                    .arg(model(view).selectedText(), word)));
        }
        QCOMPARE(text->textAtOffset(3, QAccessible::WordBoundary, &start, &end), "don't");
        QCOMPARE(text->textAtOffset(7, QAccessible::WordBoundary, &start, &end), "3.14");
    }

    // A flood of chunks is one insertion a frame; edits are announced with
    // what they took out and put in. Changes are announced only while
    // assistive technology listens, which needs the desktop's accessibility
    // bridge (tests/atspi_xvfb.sh runs this under X11 with the bridge on);
    // elsewhere the test listens to the view's announcer itself.
    void changesAreAnnouncedOnceAFrame_data() {
        QTest::addColumn<bool>("throughBridge");
        QTest::newRow("announcer") << false;
        QTest::newRow("accessibility bridge") << true;
    }

    void changesAreAnnouncedOnceAFrame() {
        QFETCH(bool, throughBridge);
        if (throughBridge) {
            if (QGuiApplication::platformName() != QLatin1String("xcb"))
                QSKIP("needs the desktop's accessibility bridge (tests/atspi_xvfb.sh)");
            QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 10000);
            QAccessible::installUpdateHandler(listen);
        } else {
            TextAnnouncer::installUpdateHandler(listen);
        }
        const auto stopListening = qScopeGuard([] {
            TextAnnouncer::installUpdateHandler(nullptr);
            QAccessible::installUpdateHandler(nullptr);
            listenedTo = nullptr;
        });
        DataView view;
        listenedTo = &view;
        view.setText(QStringLiteral("DATA\r\n"));
        nextFrame();
        heard.clear();

        for (int i = 0; i < 100; ++i) view.appendReceived(QStringLiteral("%1\r").arg(i % 10));
        nextFrame();
        QString all;
        for (int i = 0; i < 100; ++i) all += QStringLiteral("%1\r").arg(i % 10);
        QCOMPARE(describe(heard), QStringLiteral("insert 6 %1; caret 206 ").arg(all.left(20)));
        QCOMPARE(heard.front().text, all);
        heard.clear();

        model(view).setCaret(2, 4);
        QTest::keyClick(&view, Qt::Key_X);
        nextFrame();
        QCOMPARE(describe(heard), QStringLiteral("caret 2 ; remove 2 TA; insert 2 x; caret 3 "));
        heard.clear();

        // A very large change is announced by its beginning.
        const QString big(3 * TextAnnouncer::AnnouncedLimit, u'z');
        view.appendReceived(big);
        nextFrame();
        QCOMPARE(heard.front().text, big.left(TextAnnouncer::AnnouncedLimit));
        heard.clear();

        // Clearing removes everything.
        const QString before = view.text();
        view.setText(QString());
        nextFrame();
        QCOMPARE(heard.front().type, QAccessible::TextRemoved);
        QCOMPARE(heard.front().position, 0);
        QCOMPARE(heard.front().text, before.left(TextAnnouncer::AnnouncedLimit));
        heard.clear();
    }

    // In the hex view the rows are read, read-only; the caret set through
    // them is the byte under the place.
    void hexViewReadsRows() {
        DataView view;
        const QString original = QStringLiteral("DATA\r\nOK 17\r\nEND 2\r\n");
        view.setText(original);
        view.setHexView(true);
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(&view);
        QAccessibleTextInterface *text = a->textInterface();
        const HexRows &rows = inside(view).hexRows();
        QVERIFY(a->state().readOnly && !a->state().editable);
        QCOMPARE(text->text(0, text->characterCount()), rows.rowText(0) + u'\n' + rows.rowText(1));
        int start = 0;
        int end = 0;
        QCOMPARE(text->textAtOffset(rows.rowWidth() + 3, QAccessible::LineBoundary, &start, &end),
                 rows.rowText(1));
        QCOMPARE(start, rows.rowWidth() + 1);

        text->setCursorPosition(rows.rowWidth() + 1 + rows.charColumn(2));  // the "0D" of row 2
        QCOMPARE(model(view).caret(), 18);
        QCOMPARE(text->cursorPosition(), rows.rowWidth() + 1 + rows.hexColumn(2));
        a->editableTextInterface()->insertText(0, QStringLiteral("x"));
        QCOMPARE(view.text(), original);
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
