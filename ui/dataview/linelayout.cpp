#include "linelayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr std::array<const char *, 32> kC0Names = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

// Room around a mark's name inside its box.
constexpr qreal kMarkPadding = 2;
// Characters shaped at a time: a few screen widths.
constexpr int kPiece = 128;
constexpr char16_t kJoiner = 0x200D;

}  // namespace

LineLayout::LineLayout(const QString &text, const Fonts &fonts) : m_text(text), m_fonts(fonts) {}

void LineLayout::shapeNextRun() const {
    const int n = length();
    Run run;
    run.from = m_shaped;
    run.x = m_width;
    const QChar ch = m_text.at(run.from);
    if (ch == u'\t') {
        run.kind = Kind::Tab;
        run.to = run.from + 1;
        const qreal tab = qMax<qreal>(m_fonts.tabWidth, 1);
        const qreal stop = (std::floor(m_width / tab) + 1) * tab;
        run.width = stop - m_width;
    } else if (needsMark(ch)) {
        run.kind = Kind::Mark;
        run.to = run.from + 1;
        // Most lines mark the same few characters over and over.
        const char16_t c = ch.unicode();
        qreal &known = c < m_markWidths.size() ? m_markWidths[c] : run.width;
        if (known <= 0)
            known = QFontMetricsF(m_fonts.mark).horizontalAdvance(markName(ch)) + 2 * kMarkPadding;
        run.width = known;
    } else {
        const int limit = qMin(n, run.from + kPiece);
        run.to = run.from + 1;
        while (run.to < limit && m_text.at(run.to) != u'\t' && !needsMark(m_text.at(run.to)))
            ++run.to;
        // A piece ends between characters a reader sees as separate.
        if (run.to == limit && run.to < n) {
            while (run.to > run.from + 1 &&
                   (m_text.at(run.to).isLowSurrogate() || m_text.at(run.to).isMark() ||
                    m_text.at(run.to) == kJoiner || m_text.at(run.to - 1) == kJoiner))
                --run.to;
        }
        QTextOption option;
        option.setWrapMode(QTextOption::NoWrap);
        run.layout =
            std::make_unique<QTextLayout>(m_text.mid(run.from, run.to - run.from), m_fonts.text);
        run.layout->setTextOption(option);
        run.layout->setCacheEnabled(true);
        run.layout->beginLayout();
        QTextLine line = run.layout->createLine();
        line.setLineWidth(0x7fffff);
        // Glyphs from a fallback font may be taller; keep every run on the
        // line's common baseline.
        line.setPosition(QPointF(0, m_fonts.ascent - line.ascent()));
        run.layout->endLayout();
        run.width = line.naturalTextWidth();
    }
    m_width += run.width;
    m_shaped = run.to;
    m_runs.push_back(std::move(run));
}

void LineLayout::shapeTo(int column) const {
    const int n = length();
    while (m_shaped <= column && m_shaped < n) shapeNextRun();
}

void LineLayout::shapeToX(qreal x) const {
    const int n = length();
    while (m_width <= x && m_shaped < n) shapeNextRun();
}

qreal LineLayout::width() const {
    return m_width + (length() - m_shaped) * m_fonts.charWidth;
}

LineLayout::~LineLayout() = default;

bool LineLayout::needsMark(QChar ch) {
    const char16_t c = ch.unicode();
    if (c < 0x20)
        return c != u'\t';
    // Line and paragraph separators would end the line; the others have a
    // meaning of their own to a text layout.
    return (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1 ||
           c == 0xFFFC;
}

QString LineLayout::markName(QChar ch) {
    const char16_t c = ch.unicode();
    if (c < kC0Names.size())
        return QString::fromLatin1(kC0Names[c]);
    if (c == 0x7F)
        return QStringLiteral("DEL");
    return QString::number(c, 16).toUpper();
}

bool LineLayout::isMarked(int column) const {
    shapeTo(column);
    const qsizetype run = runAt(column);
    return run >= 0 && m_runs[run].kind == Kind::Mark;
}

qreal LineLayout::xForColumn(int column) const {
    if (column >= length()) {
        shapeTo(length());
        return m_width;
    }
    shapeTo(qMax(column, 0));
    const qsizetype index = runAt(qMax(column, 0));
    const Run &run = m_runs[index];
    if (run.kind != Kind::Text || column <= run.from)
        return run.x;
    return run.x + run.layout->lineAt(0).cursorToX(column - run.from);
}

int LineLayout::columnAt(qreal x) const {
    if (length() == 0 || x <= 0)
        return 0;
    shapeToX(x);
    if (x >= m_width)
        return length();
    const Run &run = m_runs[runAtX(x)];
    if (run.kind != Kind::Text)
        return x - run.x < run.width / 2 ? run.from : run.to;
    return run.from +
           run.layout->lineAt(0).xToCursor(x - run.x, QTextLine::CursorBetweenCharacters);
}

int LineLayout::nextColumn(int column) const {
    if (column >= length())
        return length();
    shapeTo(qMax(column, 0));
    const Run &run = m_runs[runAt(qMax(column, 0))];
    if (run.kind != Kind::Text)
        return run.to;
    return run.from + run.layout->nextCursorPosition(column - run.from);
}

int LineLayout::previousColumn(int column) const {
    if (column <= 0)
        return 0;
    shapeTo(qMin(column, length()) - 1);
    const Run &run = m_runs[runAt(qMin(column, length()) - 1)];
    if (run.kind != Kind::Text)
        return run.from;
    return run.from + run.layout->previousCursorPosition(column - run.from);
}

void LineLayout::draw(QPainter *painter, const QPointF &origin, int lineHeight, int selectedFrom,
                      int selectedTo, const Colours &colours, qreal left, qreal right) const {
    shapeToX(right);
    const QRectF clip(origin.x() + left, origin.y(), right - left, lineHeight);
    auto first = std::upper_bound(m_runs.begin(), m_runs.end(), left,
                                  [](qreal x, const Run &run) { return x < run.x + run.width; });
    for (auto it = first; it != m_runs.end() && it->x < right; ++it) {
        const Run &run = *it;
        const QRectF box(origin.x() + run.x, origin.y(), run.width, lineHeight);
        const bool selected = selectedFrom <= run.from && run.to <= selectedTo;
        switch (run.kind) {
            case Kind::Tab:
                if (selected)
                    painter->fillRect(box, colours.selectionBackground);
                break;
            case Kind::Mark: {
                painter->fillRect(box,
                                  selected ? colours.selectionBackground : colours.markBackground);
                painter->setFont(m_fonts.mark);
                painter->setPen(selected ? colours.selectionText : colours.markText);
                painter->drawText(box, Qt::AlignCenter, markName(m_text.at(run.from)));
                break;
            }
            case Kind::Text: {
                QList<QTextLayout::FormatRange> selections;
                const int from = qMax(selectedFrom, run.from);
                const int to = qMin(selectedTo, run.to);
                if (from < to) {
                    QTextLayout::FormatRange range;
                    range.start = from - run.from;
                    range.length = to - from;
                    range.format.setBackground(colours.selectionBackground);
                    range.format.setForeground(colours.selectionText);
                    selections.append(range);
                }
                painter->setPen(colours.text);
                run.layout->draw(painter, box.topLeft(), selections, clip);
                break;
            }
        }
    }
}

qsizetype LineLayout::runAt(int column) const {
    const auto after = std::upper_bound(m_runs.begin(), m_runs.end(), column,
                                        [](int c, const Run &run) { return c < run.from; });
    return (after - m_runs.begin()) - 1;
}

qsizetype LineLayout::runAtX(qreal x) const {
    const auto after = std::upper_bound(m_runs.begin(), m_runs.end(), x,
                                        [](qreal at, const Run &run) { return at < run.x; });
    return qMax<qsizetype>(0, (after - m_runs.begin()) - 1);
}
