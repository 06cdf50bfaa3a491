// The DATA view as the operator meets it: received text shown line by line
// exactly as it came, edited with real keys and the mouse, copied and pasted
// through the clipboard, scrolled, cleared.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QMenu>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <string_view>

#include "dataview_p.h"

using namespace std::literals;

namespace {

constexpr int kLimit = LineIndex::Limit;

// What the view holds and where it shows it, read as the engine's own parts
// read them.
EditingModel &model(DataView &view) {
    return DataViewPrivate::get(&view)->model();
}
const EditingModel &model(const DataView &view) {
    return DataViewPrivate::get(&view)->model();
}
DataViewPrivate &inside(DataView &view) {
    return *DataViewPrivate::get(&view);
}
const DataViewPrivate &inside(const DataView &view) {
    return *DataViewPrivate::get(&view);
}

QString str(std::u16string_view s) {
    return QString::fromUtf16(s.data(), qsizetype(s.size()));
}

// Displayed lines the text should give: CR LF, lone CR and lone LF each end
// one (no line here is long enough to be broken).
qsizetype expectedLines(const QString &text) {
    return text.count(u'\r') + text.count(u'\n') - text.count(u"\r\n") + 1;
}

bool isControl(QChar ch) {
    const char16_t c = ch.unicode();
    return (c < 0x20 && c != u'\r' && c != u'\n' && c != u'\t') || (c >= 0x7F && c <= 0x9F);
}

// The view's lines, each with how it ends: "DATA[crlf]OK[cr]".
QString describeLines(const DataView &view) {
    static const char *const ends[] = {"", "[crlf]", "[lf]", "[cr]", "[break]"};
    const EditingModel &text = model(view);
    QString out;
    for (qsizetype line = 0; line < text.lineCount(); ++line)
        out += text.lineText(line) + QLatin1String(ends[int(text.line(line).end)]);
    return out;
}

// The text put back together from the displayed lines; it must be text().
QString textFromLines(const DataView &view) {
    const EditingModel &text = model(view);
    QString out;
    for (qsizetype number = 0; number < text.lineCount(); ++number) {
        const TextLine line = text.line(number);
        if (line.start != out.size())
            return QStringLiteral("<line %1 starts at %2>").arg(number).arg(line.start);
        out += text.mid(line.start, line.next() - line.start);
    }
    return out;
}

// Text received one character at a time, so every CR LF arrives split.
void receiveByCharacter(DataView &view, const QString &text) {
    view.setText(QString());
    for (const QChar ch : text) view.appendReceived(QString(ch));
}

// "\n" Enter, "\b" Backspace, "\x7f" Delete, "\t" Tab; any other character
// is typed as a keyboard would, with the given modifiers.
void pressKeys(DataView &view, const QString &keys, Qt::KeyboardModifiers modifiers = {}) {
    for (const QChar key : keys) {
        if (key == u'\n')
            QTest::keyClick(&view, Qt::Key_Return);
        else if (key == u'\b')
            QTest::keyClick(&view, Qt::Key_Backspace);
        else if (key == u'\x7f')
            QTest::keyClick(&view, Qt::Key_Delete);
        else if (key == u'\t')
            QTest::keyClick(&view, Qt::Key_Tab);
        else
            QTest::sendKeyEvent(QTest::Click, &view, Qt::Key(key.toUpper().unicode()), QString(key),
                                modifiers);
    }
}

void showView(DataView &view, QSize size = QSize(600, 240)) {
    view.resize(size);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
}

QPoint pointOf(const DataView &view, qsizetype position) {
    return inside(view).cursorRect(position).center();
}

// Opens the view's context menu as a right click does and returns its
// entries (without shortcuts; separators empty, disabled ones in
// brackets); triggers the entry named `trigger`, if any.
QStringList contextMenu(DataView &view, const QString &trigger = {}) {
    QStringList entries;
    QTimer::singleShot(0, &view, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        QAction *chosen = nullptr;
        for (QAction *action : menu->actions()) {
            const QString name = action->text().section(u'\t', 0, 0);
            entries << (action->isEnabled() || action->isSeparator() ? name : "[" + name + "]");
            if (name == trigger)
                chosen = action;
        }
        menu->close();
        if (chosen)
            chosen->trigger();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), view.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view.viewport(), &event);
    return entries;
}

void drag(DataView &view, QPoint from, QPoint to) {
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(view.viewport(), (from + to) / 2);
    QTest::mouseMove(view.viewport(), to);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, to);
}

// Received stream with every kind of line end, controls and Windows-1250 letters.
const QString kStream =
    str(u"DSTA OK\r\nąęłśżźćńó ĄĘŁŚŻŹĆŃÓ €\r\r\nline\n\r\n\n\rx\0y\x01z\x1f\x7f\x81\t\r"
        u"\r\n\0\0\0end\r"sv);

}  // namespace

class TestDataView : public QObject {
    Q_OBJECT

private slots:
    void receive_data() {
        QTest::addColumn<QString>("initial");
        QTest::addColumn<bool>("viaProperty");
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("lines");
        const QString data = QStringLiteral("DATA\r\n");
        QTest::newRow("one chunk") << data << false << QStringList{"OK\r"} << data + "OK\r"
                                   << "DATA[crlf]OK[cr]";
        QTest::newRow("O, then K CR") << data << false << QStringList{"O", "K\r"} << data + "OK\r"
                                      << "DATA[crlf]OK[cr]";
        QTest::newRow("empty chunks")
            << data << false << QStringList{"", "OK\r", ""} << data + "OK\r"
            << "DATA[crlf]OK[cr]";
        QTest::newRow("designer property") << data << true << QStringList{"OK\r"} << data + "OK\r"
                                           << "DATA[crlf]OK[cr]";
        QTest::newRow("after clear") << QString() << false << QStringList{"OK\r"} << "OK\r"
                                     << "OK[cr]";
        QTest::newRow("CR LF split") << QString() << false << QStringList{"a\r", "\nb"} << "a\r\nb"
                                     << "a[crlf]b";
        QTest::newRow("lone CR, lone LF")
            << QString() << false << QStringList{"a\rb", "\nc\n"} << "a\rb\nc\n"
            << "a[cr]b[lf]c[lf]";
        QTest::newRow("LF CR is two ends")
            << QString() << false << QStringList{"a\n", "\rb"} << "a\n\rb"
            << "a[lf][cr]b";
        QTest::newRow("CR CR LF") << QString() << false << QStringList{"\r", "\r", "\n"} << "\r\r\n"
                                  << "[cr][crlf]";
    }

    void receive() {
        QFETCH(QString, initial);
        QFETCH(bool, viaProperty);
        QFETCH(QStringList, chunks);
        QFETCH(QString, expected);
        QFETCH(QString, lines);
        DataView view;
        view.setText(QStringLiteral("old\rtext"));
        if (viaProperty)
            QVERIFY(view.setProperty("text", initial));
        else
            view.setText(initial);
        QCOMPARE(view.property("text").toString(), initial);
        for (const QString &chunk : chunks) view.appendReceived(chunk);
        QCOMPARE(view.text(), expected);
        QCOMPARE(model(view).length(), expected.size());
        QCOMPARE(describeLines(view), lines);
    }

    void randomChunkingGivesSameView() {
        const QString expected = "DATA\r\n" + kStream;
        DataView whole;
        whole.setText(expected);
        QCOMPARE(model(whole).lineCount(), expectedLines(expected));
        const QString wholeLines = describeLines(whole);

        QRandomGenerator random(20240607);
        for (int round = 0; round < 300; ++round) {
            DataView view;
            view.setText(QStringLiteral("DATA\r\n"));
            qsizetype from = 0;
            while (from < kStream.size()) {
                qsizetype to = from + 1 + random.bounded(int(kStream.size() - from));
                // Every third round also cuts each CR LF in two.
                if (round % 3 == 0) {
                    const qsizetype crlf = kStream.indexOf(u"\r\n", from);
                    if (crlf >= 0 && crlf < to)
                        to = crlf + 1;
                }
                view.appendReceived(kStream.mid(from, to - from));
                from = to;
            }
            QCOMPARE(view.text(), expected);
            QCOMPARE(describeLines(view), wholeLines);
        }
    }

    void controlCharactersAreMarkedNotHidden() {
        DataView view;
        showView(view);
        // What a mark looks like: a box filled with a colour of its own.
        view.setText(str(u"\0"sv));
        QImage image = view.viewport()->grab().toImage();
        const QRect nul = inside(view).cursorRect(0);
        const QColor base = view.viewport()->palette().color(QPalette::Base);
        const QColor mark = image.pixelColor(nul.x() + 2, nul.y() + 1);
        QVERIFY(inside(view).cursorRect(1).x() > nul.x() + 4);
        QVERIFY(mark != base);

        const QString received =
            str(u"A\0B\x01"
                u"C\x7F D\x81\x9F E\tF␀␁ ĄŚ\x1b"
                u"GHIJ"sv);
        view.setText(QString());
        view.appendReceived(received);
        QCOMPARE(view.text(), received);
        QCOMPARE(model(view).lineCount(), 1);
        QCOMPARE(model(view).lineText(0), received);

        image = view.viewport()->grab().toImage();
        for (qsizetype i = 0; i < received.size(); ++i) {
            const QRect at = inside(view).cursorRect(i);
            const QRect next = inside(view).cursorRect(i + 1);
            QVERIFY2(next.x() > at.x(), qPrintable(QString::number(i)));
            const bool marked = image.pixelColor(at.x() + 1, at.y() + 1) == mark;
            QVERIFY2(marked == isControl(received.at(i)), qPrintable(QString::number(i)));
        }
        // The letters after the last mark are painted on the same line.
        const qsizetype g = received.indexOf(u'G');
        const QRect letters(inside(view).cursorRect(g).topLeft(),
                            inside(view).cursorRect(received.size()).bottomLeft());
        int ink = 0;
        for (int y = letters.top(); y <= letters.bottom(); ++y)
            for (int x = letters.left(); x < letters.right(); ++x)
                ink += image.pixelColor(x, y).lightness() < 128;
        QVERIFY2(ink > 10, qPrintable(QString::number(ink)));
    }

    void longLinesAreBrokenForDisplayOnly_data() {
        QTest::addColumn<int>("length");
        QTest::newRow("exactly the limit") << kLimit;
        QTest::newRow("one over") << kLimit + 1;
        QTest::newRow("five megabytes") << 5 * 1024 * 1024;
    }

    void longLinesAreBrokenForDisplayOnly() {
        QFETCH(int, length);
        QString line(length, Qt::Uninitialized);
        for (int i = 0; i < length; ++i) line[i] = QChar(u'a' + i % 26);
        DataView view;
        view.setText(QStringLiteral("DATA\r\n"));
        view.appendReceived(line);
        view.appendReceived(QStringLiteral("\r\nąę"));
        QCOMPARE(view.text(), "DATA\r\n" + line + "\r\nąę");

        const qsizetype pieces = (length + kLimit - 1) / kLimit;
        QCOMPARE(model(view).lineCount(), pieces + 2);
        for (qsizetype i = 1; i <= pieces; ++i) {
            const bool last = i == pieces;
            QCOMPARE(model(view).line(i).start, 6 + (i - 1) * kLimit);
            QCOMPARE(model(view).line(i).end, last ? LineEnd::CrLf : LineEnd::Break);
            if (!last)
                QCOMPARE(model(view).lineText(i).size(), kLimit);
        }
        QCOMPARE(textFromLines(view), view.text());
        // Shown one under the other.
        if (pieces > 1)
            QCOMPARE(inside(view).cursorRect(6 + kLimit).y(),
                     inside(view).cursorRect(6).y() + inside(view).cursorRect(6).height());
    }

    void operatorEditing_data() {
        QTest::addColumn<QString>("initial");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("caretAfter");
        const int none = Qt::NoModifier;
        QTest::newRow("typing and Enter") << "DATA\r\n"
                                          << 6 << "ab\nc" << none << "DATA\r\nab\r\nc" << 11;
        QTest::newRow("Polish letters")
            << "" << 0 << "zażółć gęślą jaźń ĄĘŁ" << none << "zażółć gęślą jaźń ĄĘŁ" << 21;
        QTest::newRow("Polish letters with AltGr")
            << "ab" << 1 << "ąęł" << int(Qt::ControlModifier | Qt::AltModifier) << "aąęłb" << 4;
        QTest::newRow("Enter in LF line") << "a1\nb" << 1 << "\n" << none << "a\r\n1\nb" << 3;
        QTest::newRow("Enter in CR line") << "ab\rc" << 1 << "\n" << none << "a\r\nb\rc" << 3;
        QTest::newRow("Tab") << "ab" << 1 << "\t" << none << "a\tb" << 2;
        QTest::newRow("Backspace joins at CR") << "x\ry\nz" << 2 << "\b" << none << "xy\nz" << 1;
        QTest::newRow("Backspace deletes CR LF") << "a\r\nb" << 3 << "\b" << none << "ab" << 1;
        QTest::newRow("Delete deletes CR LF") << "x\r\ny\rz" << 1 << "\x7f" << none << "xy\rz" << 1;
        QTest::newRow("Delete joins at LF") << "x\ny" << 1 << "\x7f" << none << "xy" << 1;
        QTest::newRow("Enter, Backspace") << "ab" << 1 << "\n\b" << none << "ab" << 1;
        QTest::newRow("Backspace deletes a mark")
            << str(u"a\0b"sv) << 2 << "\b" << none << "ab" << 1;
        QTest::newRow("Delete deletes a mark")
            << str(u"a\0b"sv) << 1 << "\x7f" << none << "ab" << 1;
        QTest::newRow("typed after mark")
            << str(u"a\0"sv) << 2 << "x" << none << str(u"a\0x"sv) << 3;
        QTest::newRow("typed before mark")
            << str(u"a\0b"sv) << 1 << "x" << none << str(u"ax\0b"sv) << 2;
        QTest::newRow("Backspace at start") << "ab" << 0 << "\b" << none << "ab" << 0;
        QTest::newRow("Delete at end") << "ab" << 2 << "\x7f" << none << "ab" << 2;
    }

    void operatorEditing() {
        QFETCH(QString, initial);
        QFETCH(int, caret);
        QFETCH(QString, keys);
        QFETCH(int, modifiers);
        QFETCH(QString, expected);
        QFETCH(int, caretAfter);
        DataView view;
        receiveByCharacter(view, initial);
        model(view).setCaret(caret);
        pressKeys(view, keys, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(view.text(), expected);
        QCOMPARE(model(view).caret(), caretAfter);
        QCOMPARE(model(view).hasSelection(), false);

        // A chunk goes after everything, typing included.
        view.appendReceived(QStringLiteral("OK\r"));
        expected += u"OK\r";
        QCOMPARE(view.text(), expected);
        QCOMPARE(model(view).lineCount(), expectedLines(expected));
        QCOMPARE(textFromLines(view), expected);
    }

    void displayBreakIsSteppedOver() {
        const QString wide(kLimit, u'x');
        DataView view;
        view.setText(wide + "yz");
        QCOMPARE(model(view).line(0).end, LineEnd::Break);

        // At the start of the second line Backspace only moves up.
        model(view).setCaret(kLimit);
        QCOMPARE(model(view).caretPlace().line, 1);
        QTest::keyClick(&view, Qt::Key_Backspace);
        QCOMPARE(view.text(), wide + "yz");
        QCOMPARE(model(view).caret(), kLimit);
        QCOMPARE(model(view).caretPlace().line, 0);
        QTest::keyClick(&view, Qt::Key_Backspace);
        QCOMPARE(view.text(), wide.left(kLimit - 1) + "yz");

        // At the end of the first line Delete only moves down.
        view.setText(wide + "yz");
        model(view).setCaret(0);
        QTest::keyClick(&view, Qt::Key_End);
        QCOMPARE(model(view).caret(), kLimit);
        QCOMPARE(model(view).caretPlace().line, 0);
        QTest::keyClick(&view, Qt::Key_Delete);
        QCOMPARE(view.text(), wide + "yz");
        QCOMPARE(model(view).caretPlace().line, 1);
        QTest::keyClick(&view, Qt::Key_Delete);
        QCOMPARE(view.text(), wide + "z");

        // Right arrow crosses the break in one step.
        view.setText(wide + "yz");
        model(view).setCaret(kLimit - 1);
        QTest::keyClick(&view, Qt::Key_Right);
        QCOMPARE(model(view).caret(), kLimit);
        QCOMPARE(model(view).caretPlace().line, 1);
        QTest::keyClick(&view, Qt::Key_Right);
        QCOMPARE(model(view).caret(), kLimit + 1);
    }

    // Left, right, up and down go by what is on the screen: a letter with
    // its accent is one step, and a character shown by name is as wide as
    // its name, in any font.
    void caretMovesGoByWhatIsShown() {
        DataView view;
        view.setText(str(u"ae\u0301b\r\n\u0001x\r\nabcdefgh"));
        model(view).setCaret(1);
        QTest::keyClick(&view, Qt::Key_Right);
        QCOMPARE(model(view).caret(), 3);
        QTest::keyClick(&view, Qt::Key_Left);
        QCOMPARE(model(view).caret(), 1);

        model(view).setCaret(7);  // after the SOH box
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(model(view).caretPlace().line, 2);
        QVERIFY2(model(view).caretPlace().column >= 2,
                 qPrintable(QString::number(model(view).caretPlace().column)));
    }

    // The view claims a key from the window's shortcuts exactly when it
    // handles it, editable or read-only.
    void claimsExactlyTheKeysItHandles() {
        struct Key {
            int key;
            Qt::KeyboardModifiers modifiers;
            QString text;
            bool edits;  // refused while read-only
            bool handled;
        };
        const Key keys[] = {
            {Qt::Key_A, Qt::ControlModifier, {}, false, true},
            {Qt::Key_C, Qt::ControlModifier, {}, false, true},
            {Qt::Key_Left, Qt::ShiftModifier, {}, false, true},
            {Qt::Key_End, Qt::ControlModifier, {}, false, true},
            {Qt::Key_PageDown, {}, {}, false, true},
            {Qt::Key_X, Qt::ControlModifier, {}, true, true},
            {Qt::Key_Z, Qt::ControlModifier, {}, true, true},
            {Qt::Key_Y, Qt::ControlModifier, {}, true, true},
            {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, {}, true, true},
            {Qt::Key_V, Qt::ControlModifier, {}, true, true},
            {Qt::Key_Backspace, {}, {}, true, true},
            {Qt::Key_Backspace, Qt::ControlModifier, {}, true, true},
            {Qt::Key_Delete, {}, {}, true, true},
            {Qt::Key_Return, {}, {}, true, true},
            {Qt::Key_Tab, {}, QStringLiteral("\t"), true, true},
            {Qt::Key_Z, {}, QStringLiteral("z"), true, true},
            {Qt::Key_S, Qt::ControlModifier, QStringLiteral("\x13"), false, false},
            {Qt::Key_F, Qt::ControlModifier, {}, false, true},
            {Qt::Key_F3, {}, {}, false, true},
            {Qt::Key_F3, Qt::ShiftModifier, {}, false, true},
            {Qt::Key_F5, {}, {}, false, false},
            {Qt::Key_Escape, {}, QStringLiteral("\x1b"), false, false},
            // The view's own switches, last: the hex view is read-only.
            {Qt::Key_T, Qt::ControlModifier, {}, false, true},
            {Qt::Key_H, Qt::ControlModifier, {}, false, true},
        };
        for (const bool readOnly : {false, true}) {
            DataView view;
            view.setText(QStringLiteral("DATA\r\nOK\r\nmore"));
            view.setReadOnly(readOnly);
            for (const Key &k : keys) {
                model(view).setCaret(3, 1);
                const QString name = QKeySequence(k.key | k.modifiers).toString() +
                                     (readOnly ? " read-only" : " editable");
                QKeyEvent override(QEvent::ShortcutOverride, k.key, k.modifiers, k.text);
                override.ignore();
                QApplication::sendEvent(&view, &override);
                QKeyEvent press(QEvent::KeyPress, k.key, k.modifiers, k.text);
                press.ignore();
                QApplication::sendEvent(&view, &press);
                const bool expected = k.handled && !(readOnly && k.edits);
                QVERIFY2(override.isAccepted() == expected, qPrintable(name));
                QVERIFY2(press.isAccepted() == expected, qPrintable(name));
            }
        }
    }

    // The key table binds Ctrl+Y to redo itself, so that it redoes also on
    // desktops whose own keys for redo are others (the offscreen platform
    // has it among its own).
    void keyTableRedoesOnCtrlYWhateverTheDesktopBinds() {
        const KeyBinding::StandardKeys none = [](QKeySequence::StandardKey) {
            return QList<QKeySequence>();
        };
        QKeyEvent ctrlZ(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!KeyBinding::find(&ctrlZ, {}, none));
        QKeyEvent ctrlY(QEvent::KeyPress, Qt::Key_Y, Qt::ControlModifier);
        const KeyBinding *redo = KeyBinding::find(&ctrlY, {}, none);
        QVERIFY(redo);
        QCOMPARE(redo->command, KeyBinding::Command::Redo);
        QVERIFY(!KeyBinding::find(&ctrlY, KeyBinding::ReadOnly, none));
    }

    void pasteKeepsCharactersAndMakesLineBreaksCrLf() {
        QClipboard *clipboard = QApplication::clipboard();
        DataView view;
        view.setText(QStringLiteral("ab"));
        model(view).setCaret(1);
        clipboard->setText(
            str(u"1\0\x01"
                u"2\n3\r4\r\n5ł"sv));
        QTest::keyClick(&view, Qt::Key_V, Qt::ControlModifier);
        const QString pasted =
            str(u"a1\0\x01"
                u"2\r\n3\r\n4\r\n5łb"sv);
        QCOMPARE(view.text(), pasted);
        QCOMPARE(model(view).caret(), pasted.size() - 1);
        QCOMPARE(model(view).lineCount(), 4);

        // Pasting over a selection replaces it.
        clipboard->setText(QStringLiteral("X\nY"));
        model(view).setCaret(0, 2);
        QTest::keyClick(&view, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(view.text(), "X\r\nY" + pasted.mid(2));
        QCOMPARE(model(view).caret(), 4);

        // Text committed by an input method is typed the same way.
        view.setText(QString());
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("ż\nź"));
        QApplication::sendEvent(&view, &commit);
        QCOMPARE(view.text(), QStringLiteral("ż\r\nź"));
    }

    void copyGivesCharactersAsReceived() {
        QClipboard *clipboard = QApplication::clipboard();
        const QString wide(kLimit, u'e');
        const QString received = "a\r\nb\r" + str(u"c\0d"sv) + wide + "f\ng";
        DataView view;
        showView(view);
        view.setText(received);
        // "a" CR LF, "b" CR, "c NUL d e…" display break, "eeef" LF, "g".
        QCOMPARE(model(view).lineCount(), 5);

        QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), received);

        // Keyboard: a CR LF is one step to the right, a mark one character.
        model(view).setCaret(1);
        for (int i = 0; i < 5; ++i) QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), str(u"\r\nb\rc\0"sv));

        // Mouse: from before the NUL across the display break.
        const qsizetype end = 5 + kLimit + 4;
        QCOMPARE(model(view).line(3).start, 5 + kLimit);
        model(view).setCaret(0);
        drag(view, pointOf(view, 6), pointOf(view, end));
        QCOMPARE(model(view).anchor(), 6);
        QCOMPARE(model(view).caret(), end);
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), str(u"\0d"sv) + wide + "f");

        // Cut takes the characters out.
        model(view).setCaret(5, 3);
        QTest::keyClick(&view, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QStringLiteral("b\r"));
        QCOMPARE(view.text(), received.left(3) + received.mid(5));
    }

    void mouseSelection() {
        DataView view;
        showView(view);
        view.setText(QStringLiteral("hello world\r\nsecond line\rthird"));
        const QPoint shift(1, 0);

        // A click puts the caret at the nearest character boundary.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, pointOf(view, 8) + shift);
        QCOMPARE(model(view).caret(), 8);
        QVERIFY(!model(view).hasSelection());
        QCOMPARE(inside(view).positionAt(pointOf(view, 8) + shift), 8);
        // Right of a line's end: before its CR LF, not inside it.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, pointOf(view, 5) + QPoint(400, 0));
        QCOMPARE(model(view).caret(), 11);
        // Below the last line: on the last line.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, pointOf(view, 27) + QPoint(0, 100));
        QCOMPARE(model(view).caret(), 27);

        // A drag selects from where it started.
        drag(view, pointOf(view, 6), pointOf(view, 19));
        QCOMPARE(model(view).selectedText(), QStringLiteral("world\r\nsecond"));
        // Shift+click moves the caret end, keeping the anchor.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, pointOf(view, 2));
        QCOMPARE(model(view).anchor(), 6);
        QCOMPARE(model(view).caret(), 2);
        QCOMPARE(model(view).selectedText(), QStringLiteral("llo "));

        // A double click selects the word under it.
        const QPoint inWord = pointOf(view, 16);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, inWord);
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, inWord);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, inWord);
        QCOMPARE(model(view).selectedText(), QStringLiteral("second"));
        QTest::keyClick(&view, Qt::Key_Z);
        QCOMPARE(view.text(), QStringLiteral("hello world\r\nz line\rthird"));
    }

    // A middle click pastes the primary selection only where the desktop has
    // one (the X11 run checks that it does); never the clipboard, never into
    // a read-only view.
    void middleClickPastesOnlyThePrimarySelection() {
        QClipboard *clipboard = QApplication::clipboard();
        clipboard->setText(QStringLiteral("clipboard"));
        if (clipboard->supportsSelection())
            clipboard->setText(QStringLiteral("primary"), QClipboard::Selection);
        DataView view;
        showView(view);
        for (const bool readOnly : {false, true}) {
            view.setText(QStringLiteral("hello world"));
            view.setReadOnly(readOnly);
            QTest::mouseClick(view.viewport(), Qt::MiddleButton, {}, pointOf(view, 6));
            const bool pastes = clipboard->supportsSelection() && !readOnly;
            QCOMPARE(view.text(),
                     pastes ? QStringLiteral("hello primaryworld") : QStringLiteral("hello world"));
        }
    }

    void selectAll() {
        DataView view;
        view.setText(QStringLiteral("DATA\r\nOK\r"));
        QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(model(view).anchor(), 0);
        QCOMPARE(model(view).caret(), model(view).length());
        QCOMPARE(model(view).selectedText(), view.text());
        pressKeys(view, QStringLiteral("ż"));
        QCOMPARE(view.text(), QStringLiteral("ż"));
        model(view).selectAll();
        QTest::keyClick(&view, Qt::Key_Delete);
        QCOMPARE(view.text(), QString());
        QCOMPARE(model(view).lineCount(), 1);
    }

    // Undo and redo from the keyboard (Ctrl+Z; Ctrl+Y and Ctrl+Shift+Z) and
    // from the context menu, which begins with them.
    void undoAndRedoByKeysAndMenu() {
        QClipboard *clipboard = QApplication::clipboard();
        clipboard->clear();
        DataView view;
        view.setText(QStringLiteral("DATA\r\n"));
        QCOMPARE(contextMenu(view),
                 (QStringList{"[Cofnij]", "[Ponów]", "", "[Wytnij]", "[Kopiuj]", "[Wklej]",
                              "[Usuń]", "", "Zaznacz wszystko", "", "Znajdź...", "",
                              "Widok szesnastkowy", "Czas odbioru"}));
        pressKeys(view, QStringLiteral("ab\nc"));
        view.appendReceived(QStringLiteral("OK\r"));
        const QString typed = QStringLiteral("DATA\r\nab\r\ncOK\r");
        QCOMPARE(view.text(), typed);

        QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(view.text(), QStringLiteral("DATA\r\nOK\r"));
        QCOMPARE(model(view).caret(), 6);
        QTest::keyClick(&view, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(view.text(), typed);
        QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(view.text(), typed);

        // The menu: undo is there to take, redo is not.
        clipboard->setText(QStringLiteral("x"));
        model(view).setCaret(0, 4);
        QCOMPARE(contextMenu(view, QStringLiteral("Cofnij")),
                 (QStringList{"Cofnij", "[Ponów]", "", "Wytnij", "Kopiuj", "Wklej", "Usuń", "",
                              "Zaznacz wszystko", "", "Znajdź...", "", "Widok szesnastkowy",
                              "Czas odbioru"}));
        QCOMPARE(view.text(), QStringLiteral("DATA\r\nOK\r"));
        contextMenu(view, QStringLiteral("Ponów"));
        QCOMPARE(view.text(), typed);

        // Nothing is undone while the view is read-only, and its menu says so.
        view.setReadOnly(true);
        QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(view.text(), typed);
        QCOMPARE(contextMenu(view).mid(0, 2), (QStringList{"[Cofnij]", "[Ponów]"}));
    }

    void readOnlyRefusesEdits() {
        QClipboard *clipboard = QApplication::clipboard();
        const QString text = QStringLiteral("DATA\r\nOK\r");
        DataView view;
        view.setText(text);
        view.setReadOnly(true);
        model(view).setCaret(6);
        pressKeys(view, QStringLiteral("xą\n\b\x7f\t"));
        clipboard->setText(QStringLiteral("pasted"));
        QTest::keyClick(&view, Qt::Key_V, Qt::ControlModifier);
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("ime"));
        QApplication::sendEvent(&view, &commit);
        model(view).setCaret(0, 4);
        QTest::keyClick(&view, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(view.text(), text);
        QCOMPARE(clipboard->text(), QStringLiteral("pasted"));

        // Reading still works, and so does reception.
        QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), text);
        view.appendReceived(QStringLiteral("more"));
        QCOMPARE(view.text(), text + "more");
    }

    void scrolling_data() {
        QTest::addColumn<QString>("operatorAction");
        QTest::addColumn<bool>("follows");
        QTest::newRow("at end") << "none" << true;
        QTest::newRow("scrolled up") << "scroll" << false;
        QTest::newRow("caret placed") << "caret" << false;
        QTest::newRow("caret moved up by key") << "up" << false;
        QTest::newRow("caret placed by click") << "click" << false;
        QTest::newRow("selection to end") << "select end" << false;
    }

    void scrolling() {
        QFETCH(QString, operatorAction);
        QFETCH(bool, follows);
        DataView view;
        showView(view, QSize(300, 200));
        QScrollBar *bar = view.verticalScrollBar();
        view.setText(QString());
        for (int i = 0; i < 200; ++i) view.appendReceived(QStringLiteral("line %1\r\n").arg(i));
        QTRY_COMPARE(bar->maximum(), model(view).lineCount() - bar->pageStep());
        QVERIFY(bar->maximum() > 100);
        QCOMPARE(inside(view).firstVisibleLine(), bar->maximum());
        QVERIFY(inside(view).isFollowingEnd());

        if (operatorAction == "scroll")
            bar->setValue(bar->maximum() - 50);
        else if (operatorAction == "caret")
            model(view).setCaret(model(view).line(198).start + 2);
        else if (operatorAction == "up")
            QTest::keyClick(&view, Qt::Key_Up);
        else if (operatorAction == "click")
            QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                              pointOf(view, model(view).line(195).start));
        else if (operatorAction == "select end")
            model(view).setCaret(model(view).length(), model(view).line(195).start);
        QCOMPARE(inside(view).isFollowingEnd(), follows);
        const qsizetype top = inside(view).firstVisibleLine();
        const qsizetype anchor = model(view).anchor();
        const qsizetype caret = model(view).caret();
        const int maximum = bar->maximum();

        for (int i = 0; i < 100; ++i) view.appendReceived(QStringLiteral("more %1\r\n").arg(i));
        QTRY_COMPARE(bar->maximum(), maximum + 100);
        if (follows) {
            QCOMPARE(inside(view).firstVisibleLine(), bar->maximum());
            QCOMPARE(bar->value(), bar->maximum());
            QCOMPARE(model(view).caret(), model(view).length());
            const QRect end = inside(view).cursorRect(model(view).length());
            QVERIFY(end.top() >= 0 && end.bottom() < view.viewport()->height());
        } else if (operatorAction == "scroll") {
            // The caret stays at the end of the text, so scrolling back
            // down is enough to follow again.
            QCOMPARE(inside(view).firstVisibleLine(), top);
            QVERIFY(!model(view).hasSelection());
            QCOMPARE(model(view).caret(), model(view).length());
            bar->setValue(bar->maximum());
            view.appendReceived(QStringLiteral("last\r\n"));
            QTRY_COMPARE(bar->maximum(), maximum + 101);
            QCOMPARE(inside(view).firstVisibleLine(), bar->maximum());
        } else {
            QCOMPARE(inside(view).firstVisibleLine(), top);
            QCOMPARE(model(view).anchor(), anchor);
            QCOMPARE(model(view).caret(), caret);
        }
    }

    // While text streams in, the text follows the end every frame and the
    // vertical scroll bar catches up twenty times a second; once the stream
    // stops it shows the end. Text that comes now and then brings the bar up
    // to date at once.
    void scrollBarCatchesUpWithAStream() {
        DataView view;
        showView(view, QSize(300, 200));
        QScrollBar *bar = view.verticalScrollBar();
        view.setText(QString());
        QElapsedTimer clock;
        clock.start();
        bool lagged = false;
        int i = 0;
        while (clock.elapsed() < 300) {
            view.appendReceived(QStringLiteral("line %1\r\n").arg(i++));
            QTest::qWait(1);
            // The bar never runs ahead of the text shown.
            QVERIFY(inside(view).firstVisibleLine() >= bar->value());
            lagged = lagged || inside(view).firstVisibleLine() > bar->value();
        }
        QVERIFY(lagged);
        QTRY_COMPARE(bar->maximum(), model(view).lineCount() - bar->pageStep());
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(inside(view).firstVisibleLine(), bar->value());

        // A reply after a quiet spell: the bar moves with its frame.
        QTest::qWait(100);
        view.appendReceived(QStringLiteral("OK\r\n"));
        QTest::qWait(20);
        QCOMPARE(bar->maximum(), model(view).lineCount() - bar->pageStep());
        QCOMPARE(inside(view).firstVisibleLine(), bar->value());
    }

    void horizontalRangeEndsAtTheLongestLine() {
        DataView view;
        showView(view, QSize(300, 200));
        // Narrow characters: a range reckoned at the font's average width
        // would leave blank room to scroll into.
        view.setText(QStringLiteral("DATA\r\n") + QString(300, u'i') + QStringLiteral("\r\nOK"));
        view.setFocus();
        model(view).setCaret(model(view).line(1).start + 300);
        QScrollBar *bar = view.horizontalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        const QRect end = inside(view).cursorRect();
        QVERIFY(end.left() >= 0 && end.right() < view.viewport()->width());
        QVERIFY2(end.left() > view.viewport()->width() - 20, "blank room after the longest line");
    }

    void clearFreesMemory() {
        DataView view;
        view.setText(QStringLiteral("DATA\r\n"));
        const qsizetype small = model(view).memoryUsed();
        QString chunk;
        for (int i = 0; chunk.size() < 1000; ++i) chunk += QStringLiteral("%1 OK\r\n").arg(i);
        for (int i = 0; i < 10 * 1024; ++i) view.appendReceived(chunk);
        QVERIFY(model(view).memoryUsed() > 10 * 1000 * 1000);

        view.setText(QString());
        QCOMPARE(view.text(), QString());
        QCOMPARE(model(view).lineCount(), 1);
        QVERIFY2(model(view).memoryUsed() <= small + 1024,
                 qPrintable(QString::number(model(view).memoryUsed())));

        view.setText(QString());
        QCOMPARE(view.text(), QString());
        view.appendReceived(QStringLiteral("OK\r"));
        QCOMPARE(view.text(), QStringLiteral("OK\r"));
    }
};

QTEST_MAIN(TestDataView)
#include "tst_dataview.moc"
