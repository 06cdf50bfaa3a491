// The DATA view's hex view: the part of DataViewPrivate that shows the text
// as rows of bytes (hexrows.h), moves the caret over them and switches
// between the two views.
#include "dataview_p.h"

#include "clamptoint.h"
#include "textannouncer.h"

#include <QAccessible>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QScrollBar>
#include <QtMath>

#include <algorithm>
#include <climits>

namespace {

using Move = EditingModel::Move;
constexpr int kMargin = DataViewPrivate::Margin;
constexpr qsizetype kRow = HexRows::RowBytes;

}  // namespace

qsizetype DataViewPrivate::rowCount() const {
    // The hex view's last row is where the caret goes after the last byte.
    return m_hexShown ? m_model.length() / kRow + 1 : m_model.lineCount();
}

int DataViewPrivate::rowHeight() const {
    return m_hexShown ? m_hexRowHeight : m_model.lineHeight();
}

qreal DataViewPrivate::contentWidth() const {
    return m_hexShown ? m_hexRows.rowWidth() * m_cellWidth : m_model.textWidth() + m_marginWidth;
}

// The system's fixed-pitch font at the view's size: the hex view's columns
// are characters.
void DataViewPrivate::updateHexFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(qMax(1, QFontInfo(q->font()).pixelSize()));
    m_hexFont = font;
    const QFontMetricsF metrics(font);
    m_cellWidth = qMax<qreal>(1, metrics.horizontalAdvance(QLatin1Char('0')));
    m_hexRowHeight = qMax(1, qCeil(metrics.lineSpacing()));
    m_hexAscent = qRound(metrics.ascent() + metrics.leading() / 2);
}

// The switch keeps the caret and the selection (a character is a byte), the
// view following the end, and otherwise the first character in sight at
// the top; a caret that was in sight stays in sight.
void DataViewPrivate::setHexShown(bool shown) {
    if (shown == m_hexShown)
        return;
    const bool following = isFollowingEnd();
    const qsizetype caret = m_model.caret();
    const qsizetype caretRow = m_hexShown ? caret / kRow : m_model.caretPlace().line;
    const bool caretInSight = caretRow >= m_topLine && caretRow < m_topLine + visibleLines();
    qsizetype inSight = m_hexShown ? m_topLine * kRow
                                   : m_model.line(qMin(m_topLine, m_model.lineCount() - 1)).start;
    // Back to the text's first line in sight, unless the rows were scrolled.
    if (m_hexShown && m_inSightBefore / kRow == m_topLine)
        inSight = qMin(m_inSightBefore, m_model.length());
    m_inSightBefore = inSight;

    m_hexShown = shown;
    if (!shown) {
        // The text's caret is never inside a CR LF.
        const auto snap = [this](qsizetype at) { return m_model.positionOf(m_model.place(at)); };
        if (snap(caret) != caret || snap(m_model.anchor()) != m_model.anchor())
            m_model.setCaret(caret, m_model.anchor());
    }
    m_announcer->setReader(&reader());
    q->viewport()->setCursor(shown ? Qt::ArrowCursor : Qt::IBeamCursor);
    q->setAttribute(Qt::WA_InputMethodEnabled, isEditable());

    QScrollBar *vertical = q->verticalScrollBar();
    q->horizontalScrollBar()->setValue(0);
    m_followPending = following;
    sync();
    if (!following) {
        const qsizetype top = shown ? inSight / kRow : m_model.lineAt(inSight).number;
        vertical->setValue(clampToInt(top));
        m_topLine = vertical->value();
        if (caretInSight) {
            if (shown)
                ensureHexVisible(m_model.caret());
            else
                ensureVisible(m_model.caretPlace());
        }
    }
    // Assistive technology reads rows, read-only, or the editable text.
    QAccessible::State changed;
    changed.readOnly = true;
    changed.editable = true;
    QAccessibleStateChangeEvent event(q, changed);
    QAccessible::updateAccessibility(&event);
    QAccessibleTextCursorEvent moved(q, clampToInt(reader().caret()));
    QAccessible::updateAccessibility(&moved);
    q->viewport()->update();
}

QRect DataViewPrivate::hexRect(qsizetype rowsPosition) const {
    const qsizetype stride = m_hexRows.rowWidth() + 1;
    const qsizetype row = rowsPosition / stride;
    const qreal x = kMargin - m_xOffset + qreal(rowsPosition - row * stride) * m_cellWidth;
    const int y = kMargin + int(row - m_topLine) * m_hexRowHeight;
    return QRect(qFloor(x), y, qMax(1, qRound(m_cellWidth)), m_hexRowHeight);
}

QRect DataViewPrivate::hexCaretRect(qsizetype position) const {
    const qsizetype row = position / kRow;
    const qreal x = kMargin - m_xOffset + m_hexRows.hexColumn(int(position % kRow)) * m_cellWidth;
    const int y = kMargin + int(row - m_topLine) * m_hexRowHeight;
    return QRect(qFloor(x), y, qRound(2 * m_cellWidth), m_hexRowHeight);
}

// On a byte's hex or its character: before the byte on its left half, after
// it on its right half, as a text caret goes.
qsizetype DataViewPrivate::hexPositionAt(const QPointF &point) const {
    const qsizetype n = m_model.length();
    const qsizetype row =
        qMax<qsizetype>(0, m_topLine + qFloor((point.y() - kMargin) / qreal(m_hexRowHeight)));
    const qreal column = (point.x() - kMargin + m_xOffset) / m_cellWidth;
    int index = 0;
    if (column >= m_hexRows.charColumn(0)) {
        index = qRound(column - m_hexRows.charColumn(0));
    } else if (column >= m_hexRows.hexColumn(0)) {
        for (index = 0; index < kRow && column >= m_hexRows.hexColumn(index) + 1; ++index) {
        }
    }
    return qBound<qsizetype>(0, row * kRow + qBound(0, index, int(kRow)), n);
}

void DataViewPrivate::hexMove(Move move, EditingModel::MoveMode mode) {
    const qsizetype n = m_model.length();
    const qsizetype caret = m_model.caret();
    // Without shift, left and right first give up a selection at its edge.
    if (mode == EditingModel::MoveAnchor && m_model.hasSelection() &&
        (move == Move::NextChar || move == Move::PreviousChar)) {
        const qsizetype at =
            move == Move::NextChar ? m_model.selectionEnd() : m_model.selectionStart();
        m_model.select(at, at);
        return;
    }
    const qsizetype rowStart = caret / kRow * kRow;
    const qsizetype page = kRow * visibleLines();
    qsizetype to = caret;
    switch (move) {
        case Move::NextChar:
        case Move::NextWord:
            to = caret + 1;
            break;
        case Move::PreviousChar:
        case Move::PreviousWord:
            to = caret - 1;
            break;
        case Move::NextLine:
            to = caret + kRow;
            break;
        case Move::PreviousLine:
            to = caret - kRow;
            break;
        case Move::NextPage:
            to = caret + page;
            break;
        case Move::PreviousPage:
            to = caret - page;
            break;
        case Move::StartOfLine:
            to = rowStart;
            break;
        case Move::EndOfLine:
            // On the row's last byte, or past it when selecting.
            to = rowStart + (mode == EditingModel::KeepAnchor ? kRow : kRow - 1);
            break;
        case Move::StartOfText:
            to = 0;
            break;
        case Move::EndOfText:
            to = n;
            break;
    }
    to = qBound<qsizetype>(0, to, n);
    m_model.select(mode == EditingModel::KeepAnchor ? m_model.anchor() : to, to);
}

void DataViewPrivate::ensureHexVisible(qsizetype position) {
    sync();
    const qsizetype row = position / kRow;
    const int lines = visibleLines();
    QScrollBar *vertical = q->verticalScrollBar();
    if (row < m_topLine)
        vertical->setValue(clampToInt(row));
    else if (row >= m_topLine + lines)
        vertical->setValue(clampToInt(row - lines + 1));
    const qreal x = m_hexRows.hexColumn(int(position % kRow)) * m_cellWidth;
    const int width = q->viewport()->width() - 2 * kMargin - 1;
    QScrollBar *horizontal = q->horizontalScrollBar();
    if (x < m_xOffset)
        horizontal->setValue(qFloor(x));
    else if (x + 2 * m_cellWidth > m_xOffset + width)
        horizontal->setValue(qCeil(x + 2 * m_cellWidth) - width);
}

void DataViewPrivate::paintHex(QPainter *painter, const QRect &area) const {
    const QPalette::ColorGroup group = q->hasFocus() ? QPalette::Active : QPalette::Inactive;
    const QPalette &colours = q->palette();
    const QColor text = colours.color(group, QPalette::Text);
    const QColor dim = colours.color(group, QPalette::PlaceholderText);
    const QColor selectedText = colours.color(group, QPalette::HighlightedText);
    const QColor selected = colours.color(group, QPalette::Highlight);
    painter->setFont(m_hexFont);

    const qsizetype rows = m_hexRows.rowCount();
    const qsizetype first = m_topLine + qMax(0, (area.top() - kMargin) / m_hexRowHeight);
    const qsizetype last =
        qMin(rows - 1, m_topLine + qMax(0, (area.bottom() - kMargin) / m_hexRowHeight));
    const qsizetype from = m_model.selectionStart();
    const qsizetype to = m_model.selectionEnd();
    const qreal left = kMargin - m_xOffset;
    const int hexStart = m_hexRows.hexColumn(0);
    const int charStart = m_hexRows.charColumn(0);
    auto at = [&](int column) { return left + column * m_cellWidth; };

    for (qsizetype number = first; number <= last; ++number) {
        const HexRows::Row row = m_hexRows.row(number);
        const int top = kMargin + int(number - m_topLine) * m_hexRowHeight;
        const qreal baseline = top + m_hexAscent;
        const QString whole = m_hexRows.rowText(number);
        painter->setPen(dim);
        painter->drawText(QPointF(at(0), baseline), whole.left(m_hexRows.offsetDigits()));
        painter->drawText(QPointF(at(charStart - 1), baseline), QStringLiteral("|"));
        painter->drawText(QPointF(at(charStart + row.count), baseline), QStringLiteral("|"));

        // Backgrounds of the selected bytes and of characters without one.
        bool plain = true;
        for (int i = 0; i < row.count; ++i) {
            const qsizetype position = number * kRow + i;
            const bool isSelected = position >= from && position < to;
            const bool marked = row.cells[i].byte < 0;
            if (!isSelected && !marked)
                continue;
            plain = false;
            const QColor background = isSelected ? selected : markBackground();
            // A selection runs on through the space after a byte.
            const int hexWidth = isSelected && position + 1 < to && i + 1 < row.count
                                     ? m_hexRows.hexColumn(i + 1) - m_hexRows.hexColumn(i)
                                     : 2;
            painter->fillRect(
                QRectF(at(m_hexRows.hexColumn(i)), top, hexWidth * m_cellWidth, m_hexRowHeight),
                background);
            painter->fillRect(QRectF(at(charStart + i), top, m_cellWidth, m_hexRowHeight),
                              background);
        }
        // The hex and the characters as they are in the row's text; byte by
        // byte where colours differ.
        const QString hex = whole.mid(hexStart, m_hexRows.hexColumn(kRow - 1) + 2 - hexStart);
        const QString characters = whole.mid(charStart, whole.size() - 1 - charStart);
        if (plain) {
            painter->setPen(text);
            painter->drawText(QPointF(at(hexStart), baseline), hex);
            painter->drawText(QPointF(at(charStart), baseline), characters);
            continue;
        }
        qsizetype shownAt = 0;
        for (int i = 0; i < row.count; ++i) {
            const HexRows::Cell &cell = row.cells[i];
            const qsizetype position = number * kRow + i;
            const bool isSelected = position >= from && position < to;
            painter->setPen(isSelected ? selectedText : cell.byte < 0 ? markText() : text);
            painter->drawText(QPointF(at(m_hexRows.hexColumn(i)), baseline),
                              HexRows::hexText(cell));
            painter->drawText(QPointF(at(charStart + i), baseline),
                              characters.mid(shownAt, cell.shownLength));
            shownAt += cell.shownLength;
        }
    }

    if (q->hasFocus()) {
        // The caret: a box around the byte after it, in both columns.
        const qsizetype caret = m_model.caret();
        const QRect hex = hexCaretRect(caret);
        const QRect character(qFloor(at(charStart + int(caret % kRow))), hex.top(),
                              qRound(m_cellWidth), hex.height());
        painter->setPen(text);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(hex.adjusted(0, 0, -1, -1));
        painter->drawRect(character.adjusted(0, 0, -1, -1));
    }
}
