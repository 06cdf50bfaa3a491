#include "hexpresentation.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QtMath>

namespace {

using Move = EditingModel::Move;
constexpr qsizetype kRow = HexRows::RowBytes;

}  // namespace

HexPresentation::HexPresentation(EditingModel &model, const Frame &frame)
    : Presentation(model, frame) {}

// The system's fixed-pitch font at the view's size: the columns are
// characters.
void HexPresentation::setFont(const QFont &viewFont) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(qMax(1, QFontInfo(viewFont).pixelSize()));
    m_font = font;
    const QFontMetricsF metrics(font);
    m_cellWidth = qMax<qreal>(1, metrics.horizontalAdvance(QLatin1Char('0')));
    m_rowHeight = qMax(1, qCeil(metrics.lineSpacing()));
    m_ascent = qRound(metrics.ascent() + metrics.leading() / 2);
}

QRect HexPresentation::readerRect(qsizetype rowsPosition) const {
    const qsizetype stride = m_rows.rowWidth() + 1;
    const qsizetype row = rowsPosition / stride;
    const qreal x = columnX(0) + qreal(rowsPosition - row * stride) * m_cellWidth;
    return QRect(qFloor(x), int(rowTop(row)), qMax(1, qRound(m_cellWidth)), m_rowHeight);
}

QRect HexPresentation::caretBox(qsizetype position) const {
    const qreal x = columnX(m_rows.hexColumn(int(position % kRow)));
    return QRect(qFloor(x), int(rowTop(position / kRow)), qRound(2 * m_cellWidth), m_rowHeight);
}

// On a byte's hex or its character: before the byte on its left half, after
// it on its right half, as a text caret goes.
qsizetype HexPresentation::positionAt(const QPointF &point) const {
    const qsizetype row = qMax<qsizetype>(0, rowAtY(point.y()));
    const qreal column = (point.x() - Margin + m_frame.xOffset) / m_cellWidth;
    int index = 0;
    if (column >= m_rows.charColumn(0)) {
        index = qRound(column - m_rows.charColumn(0));
    } else if (column >= m_rows.hexColumn(0)) {
        for (index = 0; index < kRow && column >= m_rows.hexColumn(index) + 1; ++index) {
        }
    }
    return qBound<qsizetype>(0, row * kRow + qBound(0, index, int(kRow)), m_model.length());
}

Presentation::Spot HexPresentation::spotAt(qsizetype position) const {
    const qreal x = m_rows.hexColumn(int(position % kRow)) * m_cellWidth;
    return {position / kRow, x, x + 2 * m_cellWidth};
}

void HexPresentation::placeCaretAt(const QPointF &point, EditingModel::MoveMode mode) {
    const qsizetype at = positionAt(point);
    m_model.select(mode == EditingModel::KeepAnchor ? m_model.anchor() : at, at);
}

// A double click takes the row.
void HexPresentation::selectUnitAt(const QPointF &point) {
    const qsizetype start = positionAt(QPointF(0, point.y()));
    m_model.select(start, qMin(m_model.length(), start + kRow));
}

void HexPresentation::move(Move move, EditingModel::MoveMode mode, int pageRows) {
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
    const qsizetype page = kRow * pageRows;
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

void HexPresentation::paint(QPainter *painter, const QRect &area, const Look &look) const {
    const QPalette &colours = look.palette;
    const QColor text = colours.color(look.group, QPalette::Text);
    const QColor dim = colours.color(look.group, QPalette::PlaceholderText);
    const QColor selectedText = colours.color(look.group, QPalette::HighlightedText);
    const QColor selected = colours.color(look.group, QPalette::Highlight);
    painter->setFont(m_font);

    const auto [first, last] = rowsIn(area, m_rows.rowCount());
    const qsizetype from = m_model.selectionStart();
    const qsizetype to = m_model.selectionEnd();
    const int hexStart = m_rows.hexColumn(0);
    const int charStart = m_rows.charColumn(0);

    for (qsizetype number = first; number <= last; ++number) {
        const HexRows::Row row = m_rows.row(number);
        const qreal top = rowTop(number);
        const qreal baseline = top + m_ascent;
        const QString whole = m_rows.rowText(number);
        painter->setPen(dim);
        painter->drawText(QPointF(columnX(0), baseline), whole.left(m_rows.offsetDigits()));
        painter->drawText(QPointF(columnX(charStart - 1), baseline), QStringLiteral("|"));
        painter->drawText(QPointF(columnX(charStart + row.count), baseline), QStringLiteral("|"));

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
                                     ? m_rows.hexColumn(i + 1) - m_rows.hexColumn(i)
                                     : 2;
            painter->fillRect(
                QRectF(columnX(m_rows.hexColumn(i)), top, hexWidth * m_cellWidth, m_rowHeight),
                background);
            painter->fillRect(QRectF(columnX(charStart + i), top, m_cellWidth, m_rowHeight),
                              background);
        }
        // The hex and the characters as they are in the row's text; byte by
        // byte where colours differ.
        const QString hex = whole.mid(hexStart, m_rows.hexColumn(kRow - 1) + 2 - hexStart);
        const QString characters = whole.mid(charStart, whole.size() - 1 - charStart);
        if (plain) {
            painter->setPen(text);
            painter->drawText(QPointF(columnX(hexStart), baseline), hex);
            painter->drawText(QPointF(columnX(charStart), baseline), characters);
            continue;
        }
        qsizetype shownAt = 0;
        for (int i = 0; i < row.count; ++i) {
            const HexRows::Cell &cell = row.cells[i];
            const qsizetype position = number * kRow + i;
            const bool isSelected = position >= from && position < to;
            painter->setPen(isSelected ? selectedText : cell.byte < 0 ? markText() : text);
            painter->drawText(QPointF(columnX(m_rows.hexColumn(i)), baseline),
                              HexRows::hexText(cell));
            painter->drawText(QPointF(columnX(charStart + i), baseline),
                              characters.mid(shownAt, cell.shownLength));
            shownAt += cell.shownLength;
        }
    }

    if (look.focused) {
        // The caret: a box around the byte after it, in both columns.
        const qsizetype caret = m_model.caret();
        const QRect hex = caretBox(caret);
        const QRect character(qFloor(columnX(charStart + int(caret % kRow))), hex.top(),
                              qRound(m_cellWidth), hex.height());
        painter->setPen(text);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(hex.adjusted(0, 0, -1, -1));
        painter->drawRect(character.adjusted(0, 0, -1, -1));
    }
}
