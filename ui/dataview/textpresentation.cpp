#include "textpresentation.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <climits>

namespace {

// Space on either side of a receive time.
constexpr int kTimePadding = 6;

}  // namespace

TextPresentation::TextPresentation(EditingModel &model, const Frame &frame)
    : Presentation(model, frame) {
    // Before textChanged reaches anyone who draws: no stale line survives.
    m_linesChanged = QObject::connect(&model, &EditingModel::linesChanged, &model,
                                      [this](EditingModel::LinesChanged change, qsizetype line) {
                                          m_layout.linesChanged(change, line);
                                      });
    model.setCaretGeometry(&m_layout);
}

TextPresentation::~TextPresentation() {
    QObject::disconnect(m_linesChanged);
    m_model.setCaretGeometry(nullptr);
}

// The margin's width follows the font; it takes room only while shown.
void TextPresentation::setFont(const QFont &font) {
    m_font = font;
    m_layout.setFont(font);
    setTimesShown(m_timesShown);
}

bool TextPresentation::setTimesShown(bool shown) {
    m_timesShown = shown;
    const int width =
        shown ? qCeil(QFontMetricsF(m_font).horizontalAdvance(QStringLiteral("00:00:00.000"))) +
                    2 * kTimePadding
              : 0;
    if (width == m_marginWidth)
        return false;
    m_marginWidth = width;
    return true;
}

// The text's caret is never inside a CR LF, which the hex view's may be.
void TextPresentation::becomeShown() {
    const qsizetype caret = m_model.caret();
    const qsizetype anchor = m_model.anchor();
    const auto snap = [this](qsizetype at) { return m_model.positionOf(m_model.place(at)); };
    if (snap(caret) != caret || snap(anchor) != anchor)
        m_model.setCaret(caret, anchor);
}

qsizetype TextPresentation::rowStart(qsizetype row) const {
    return m_model.line(qMin(row, m_model.lineCount() - 1)).start;
}

EditingModel::Place TextPresentation::placeOf(qsizetype position) const {
    return m_model.place(qBound<qsizetype>(0, position, m_model.length()));
}

EditingModel::Place TextPresentation::hitTest(const QPointF &point) const {
    const qsizetype line = qBound<qsizetype>(0, rowAtY(point.y()), m_model.lineCount() - 1);
    return {line, m_layout.columnAt(line, point.x() - Margin - m_marginWidth + m_frame.xOffset)};
}

QRect TextPresentation::rectAt(const Place &at) const {
    const QPointF origin = lineOrigin(at.line);
    const qreal x = origin.x() + m_layout.xForColumn(at.line, at.column);
    return QRect(qFloor(x), qRound(origin.y()), 1, m_layout.lineHeight());
}

Presentation::Spot TextPresentation::spotAt(const Place &at) const {
    const qreal x = m_layout.xForColumn(at.line, at.column);
    return {at.line, x, x};
}

QPointF TextPresentation::lineOrigin(qsizetype line) const {
    return QPointF(Margin + m_marginWidth - m_frame.xOffset, rowTop(line));
}

void TextPresentation::paint(QPainter *painter, const QRect &area, const Look &look) const {
    if (m_marginWidth > 0) {
        paintMargin(painter, area, look.palette);
        painter->setClipRect(
            area.intersected(QRect(m_marginWidth, area.top(), INT_MAX / 2, area.height())));
    }
    const QPalette &colours = look.palette;
    const LineLayout::Colours style{colours.color(look.group, QPalette::Text), markText(),
                                    markBackground(),
                                    colours.color(look.group, QPalette::HighlightedText),
                                    colours.color(look.group, QPalette::Highlight)};
    const int lineHeight = m_layout.lineHeight();
    const auto [first, last] = rowsIn(area, m_model.lineCount());
    const qsizetype selectedFrom = m_model.selectionStart();
    const qsizetype selectedTo = m_model.selectionEnd();
    for (qsizetype number = first; number <= last; ++number) {
        const TextLine line = m_model.line(number);
        const QPointF origin = lineOrigin(line.number);
        const LineLayout &layout = m_layout.line(line.number);
        const int from = int(std::clamp<qsizetype>(selectedFrom - line.start, 0, line.length));
        const int to = int(std::clamp<qsizetype>(selectedTo - line.start, 0, line.length));
        layout.draw(painter, origin, lineHeight, from, to, style, area.left() - origin.x(),
                    area.right() + 1 - origin.x());
        // A selected line end shows as a selected space after the text.
        if (line.next() > line.shownEnd() && selectedFrom <= line.shownEnd() &&
            selectedTo >= line.next()) {
            painter->fillRect(
                QRectF(origin.x() + layout.width(), origin.y(), m_layout.charWidth(), lineHeight),
                style.selectionBackground);
        }
    }

    if (look.caretOn && look.focused && !m_model.isReadOnly())
        painter->fillRect(caretRect(), style.text);
}

void TextPresentation::paintMargin(QPainter *painter, const QRect &area,
                                   const QPalette &colours) const {
    const QRect margin = area.intersected(QRect(0, area.top(), m_marginWidth, area.height()));
    if (margin.isEmpty())
        return;
    painter->fillRect(margin, colours.color(QPalette::AlternateBase));
    painter->setPen(colours.color(QPalette::Mid));
    painter->drawLine(m_marginWidth - 1, margin.top(), m_marginWidth - 1, margin.bottom());
    painter->setPen(colours.color(QPalette::PlaceholderText));
    painter->setFont(m_font);
    const QFontMetricsF metrics(m_font);
    const int ascent = qRound(metrics.ascent() + metrics.leading() / 2);
    const auto [first, last] = rowsIn(area, m_model.lineCount());
    for (qsizetype line = first; line <= last; ++line) {
        if (const std::optional<qint64> time = m_model.receiveTime(line))
            painter->drawText(QPointF(kTimePadding, lineOrigin(line).y() + ascent),
                              ReceiveTimes::text(*time));
    }
}
