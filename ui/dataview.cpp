#include "dataview.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// How a block (one displayed line) ended, kept in its user state. A block
// the editor splits off by itself gets -1, which reads as the Windows line
// break an operator types. The last block has no end; its state is ignored.
enum LineEnd : int { CrLf = -1, Lf = 1, Cr = 2, DisplayOnly = 3 };

// The character a marked symbol stands for.
constexpr int OriginalProperty = QTextFormat::UserProperty;

bool isLineBreak(QChar ch) {
    return ch == u'\r' || ch == u'\n';
}

// Characters a text line cannot show as they are: C0 controls other than CR,
// LF and TAB, DEL and the C1 range (bytes the code page leaves undefined), and
// the few characters the document itself treats as structure.
bool needsMark(QChar ch) {
    const char16_t c = ch.unicode();
    if (c < 0x20)
        return c != u'\r' && c != u'\n' && c != u'\t';
    return (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1 ||
           c == 0xFFFC;
}

// Control Pictures for C0 and DEL; anything else marked shows as U+FFFD.
QChar symbolFor(QChar original) {
    const char16_t c = original.unicode();
    if (c < 0x20)
        return QChar(char16_t(0x2400 + c));
    if (c == 0x7F)
        return QChar(char16_t(0x2421));
    return QChar(QChar::ReplacementCharacter);
}

QTextCharFormat markFormat(QChar original) {
    QTextCharFormat format;
    format.setProperty(OriginalProperty, int(original.unicode()));
    format.setForeground(QColor(0x9c, 0x1c, 0x1c));
    format.setBackground(QColor(0xff, 0xe0, 0xb2));
    return format;
}

bool isMarked(const QTextCharFormat &format) {
    return format.hasProperty(OriginalProperty);
}

QStringView lineEndText(int state) {
    switch (state) {
        case Lf:
            return u"\n";
        case Cr:
            return u"\r";
        case DisplayOnly:
            return {};
        default:
            return u"\r\n";
    }
}

// Splits the cursor's block at the cursor: the upper part ends with `end`,
// the lower part ends as the whole block did.
void splitBlock(QTextCursor &cursor, LineEnd end) {
    const int oldEnd = cursor.block().userState();
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    cursor.block().previous().setUserState(end);
    cursor.block().setUserState(oldEnd);
}

// Pasted text keeps every character except its line breaks, which become
// the CR LF an Enter gives.
QString windowsLineEnds(const QString &text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch == u'\r' || ch == u'\n') {
            out += u"\r\n";
            if (ch == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else {
            out += ch;
        }
    }
    return out;
}

}  // namespace

DataView::DataView(QWidget *parent) : QPlainTextEdit(parent) {
    // The view only grows; an undo stack would keep a second copy of it.
    document()->setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

QString DataView::text() const {
    return originalText(0, document()->characterCount() - 1);
}

void DataView::setText(const QString &text) {
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    cursor.setBlockCharFormat(QTextCharFormat());
    insertOriginal(cursor, text);
    cursor.endEditBlock();

    QTextCursor caret(document());
    caret.movePosition(QTextCursor::End);
    setTextCursor(caret);
}

void DataView::appendReceived(const QString &chunk) {
    if (chunk.isEmpty())
        return;

    QScrollBar *bar = verticalScrollBar();
    const QTextCursor caret = textCursor();
    const bool follow = bar->value() == bar->maximum() && !caret.hasSelection() && caret.atEnd();
    // Positions, not the cursor: a copy shares its data with the caret and
    // would move with it.
    const int anchor = caret.anchor();
    const int position = caret.position();

    // A separate cursor, so the operator's caret and selection are left alone.
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    insertOriginal(cursor, chunk);
    cursor.endEditBlock();

    if (follow) {
        bar->setValue(bar->maximum());
    } else if (anchor != position &&
               (textCursor().anchor() != anchor || textCursor().position() != position)) {
        // An end of the selection at the old end moved along with the new
        // text; put the selection back without scrolling.
        const int h = horizontalScrollBar()->value();
        const int v = bar->value();
        QTextCursor restored = textCursor();
        restored.setPosition(anchor);
        restored.setPosition(position, QTextCursor::KeepAnchor);
        setTextCursor(restored);
        horizontalScrollBar()->setValue(h);
        bar->setValue(v);
    }
}

QMimeData *DataView::createMimeDataFromSelection() const {
    const QTextCursor caret = textCursor();
    auto *data = new QMimeData;
    data->setText(originalText(caret.selectionStart(), caret.selectionEnd()));
    return data;
}

void DataView::insertFromMimeData(const QMimeData *source) {
    if (source && source->hasText())
        insertAtCaret(windowsLineEnds(source->text()));
}

void DataView::keyPressEvent(QKeyEvent *event) {
    if (!isReadOnly() && (event->matches(QKeySequence::InsertParagraphSeparator) ||
                          event->matches(QKeySequence::InsertLineSeparator))) {
        insertAtCaret(QStringLiteral("\r\n"));
        event->accept();
        return;
    }
    prepareTyping();
    QPlainTextEdit::keyPressEvent(event);
    unmarkTyped();
}

void DataView::inputMethodEvent(QInputMethodEvent *event) {
    prepareTyping();
    QPlainTextEdit::inputMethodEvent(event);
    unmarkTyped();
}

// The characters behind document positions [from, to).
QString DataView::originalText(int from, int to) const {
    QString out;
    out.reserve(to - from);
    // Formats repeat; look each one up once.
    int lastFormat = -1;
    bool marked = false;
    QChar original;
    for (QTextBlock block = document()->findBlock(from); block.isValid(); block = block.next()) {
        const int blockStart = block.position();
        if (blockStart >= to)
            break;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int position = fragment.position();
            const int start = qMax(from, position);
            const int end = qMin(to, position + fragment.length());
            if (start >= end)
                continue;
            const QString text = fragment.text();
            const QStringView part = QStringView(text).mid(start - position, end - start);
            if (fragment.charFormatIndex() != lastFormat) {
                lastFormat = fragment.charFormatIndex();
                const QTextCharFormat format = fragment.charFormat();
                marked = isMarked(format);
                original = QChar(char16_t(format.intProperty(OriginalProperty)));
            }
            if (!marked) {
                out += part;
                continue;
            }
            // Map by format, and only the symbol itself, so a real "␀" the
            // operator typed next to a marked NUL stays a "␀".
            const QChar symbol = symbolFor(original);
            for (QChar ch : part) out += ch == symbol ? original : ch;
        }
        const int separator = blockStart + block.length() - 1;
        if (separator >= from && separator < to)
            out += lineEndText(block.userState());
    }
    return out;
}

// Inserts text at a cursor without a selection, character for character.
void DataView::insertOriginal(QTextCursor &cursor, const QString &text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar ch = text.at(i);
        if (isLineBreak(ch)) {
            insertLineEnd(cursor, ch, i + 1 == n);
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        if (needsMark(ch)) {
            while (j < n && text.at(j) == ch) ++j;
        } else {
            while (j < n && !isLineBreak(text.at(j)) && !needsMark(text.at(j))) ++j;
        }
        insertRun(cursor, text, i, j);
        i = j;
    }
}

// Inserts text[from, to), either plain characters or one marked character
// repeated, breaking the display line whenever it reaches the limit.
void DataView::insertRun(QTextCursor &cursor, const QString &text, qsizetype from, qsizetype to) {
    const QChar first = text.at(from);
    const bool marked = needsMark(first);
    const QTextCharFormat format = marked ? markFormat(first) : QTextCharFormat();
    while (from < to) {
        qsizetype length = qMin<qsizetype>(DisplayLineLimit - cursor.positionInBlock(), to - from);
        // Keep a surrogate pair on one line.
        if (length > 0 && length < to - from && text.at(from + length - 1).isHighSurrogate())
            --length;
        if (length <= 0) {
            splitBlock(cursor, DisplayOnly);
            continue;
        }
        cursor.insertText(marked ? QString(length, symbolFor(first)) : text.mid(from, length),
                          format);
        from += length;
    }
}

void DataView::insertLineEnd(QTextCursor &cursor, QChar ch, bool lastOfInsert) {
    QTextBlock block = cursor.block();
    if (ch == u'\n') {
        // An LF right after a CR completes that line's CR LF: one line break,
        // also when the CR came in the previous chunk.
        QTextBlock previous = block.previous();
        if (cursor.positionInBlock() == 0 && previous.isValid() && previous.userState() == Cr) {
            previous.setUserState(CrLf);
            return;
        }
        splitBlock(cursor, Lf);
        return;
    }
    // A CR inserted last right before a line's LF makes it CR LF. The cursor
    // stays before the line break, since nothing can stand between the two.
    if (lastOfInsert && cursor.atBlockEnd() && block.next().isValid() && block.userState() == Lf) {
        block.setUserState(CrLf);
        return;
    }
    splitBlock(cursor, Cr);
}

void DataView::insertAtCaret(const QString &text) {
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    insertOriginal(cursor, text);
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}

// Typed text would take the format of the character before the caret; after
// a marked character that would make it a mark too.
void DataView::prepareTyping() {
    const QTextCursor caret = textCursor();
    if (!caret.hasSelection() && isMarked(caret.charFormat()))
        setCurrentCharFormat(QTextCharFormat());
}

// Whatever typing still took a mark's format (typing over a selection) goes
// back to plain text. Typed text always lands in the caret's block.
void DataView::unmarkTyped() {
    const QTextBlock block = textCursor().block();
    QList<std::pair<int, int>> ranges;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QTextCharFormat format = fragment.charFormat();
        if (!isMarked(format))
            continue;
        const QChar symbol = symbolFor(QChar(char16_t(format.intProperty(OriginalProperty))));
        const QString part = fragment.text();
        for (qsizetype i = 0; i < part.size(); ++i) {
            if (part.at(i) == symbol)
                continue;
            const int position = fragment.position() + int(i);
            if (!ranges.isEmpty() && ranges.last().second == position)
                ranges.last().second = position + 1;
            else
                ranges.append({position, position + 1});
        }
    }
    for (const auto &[start, end] : ranges) {
        QTextCursor cursor(document());
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.setCharFormat(QTextCharFormat());
    }
}
