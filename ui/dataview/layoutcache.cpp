#include "layoutcache.h"

#include <QFontMetricsF>
#include <QtMath>

namespace {

// Lines kept shaped beyond twice those in sight.
constexpr size_t kSlack = 64;

}  // namespace

LayoutCache::LayoutCache(const EditingModel &text) : m_text(text) {
    setFont(QFont());
}

LayoutCache::~LayoutCache() = default;

void LayoutCache::setFont(const QFont &font) {
    QFont mark = font;
    if (font.pixelSize() > 0)
        mark.setPixelSize(qMax(6, qRound(font.pixelSize() * 0.8)));
    else
        mark.setPointSizeF(qMax(4.0, font.pointSizeF() * 0.8));
    const QFontMetricsF metrics(font);
    m_lineHeight = qMax(1, qCeil(metrics.lineSpacing()));
    m_charWidth = qMax<qreal>(1, metrics.averageCharWidth());
    m_fonts = {font, mark, 8 * m_charWidth, m_charWidth,
               qRound(metrics.ascent() + metrics.leading() / 2)};
    clear();
}

const LineLayout &LayoutCache::line(qsizetype line) const {
    const auto found = m_layouts.find(line);
    if (found != m_layouts.end())
        return *found->second;
    if (m_layouts.size() > size_t(2 * m_inSight) + kSlack) {
        foldMeasuredWidths();
        m_layouts.clear();
    }
    auto layout = std::make_unique<LineLayout>(m_text.lineText(line), m_fonts);
    return *m_layouts.emplace(line, std::move(layout)).first->second;
}

void LayoutCache::dropFrom(qsizetype line) {
    std::erase_if(m_layouts, [line](const auto &entry) { return entry.first >= line; });
}

void LayoutCache::clear() {
    m_layouts.clear();
    m_measuredWidth = 0;
    m_measuredLongest = 0;
}

void LayoutCache::linesChanged(EditingModel::LinesChanged change, qsizetype line) {
    switch (change) {
        case EditingModel::LinesChanged::All:
            clear();
            break;
        case EditingModel::LinesChanged::From:
            dropFrom(line);
            break;
        case EditingModel::LinesChanged::Only:
            drop(line);
            break;
    }
}

qreal LayoutCache::textWidth() const {
    // Once the longest line has been measured, the estimate (the font's
    // average width is generous) would only leave blank room to scroll into.
    const qreal measured = measuredWidth();
    const int longest = m_text.longestLine();
    return longest > measuredLongest() ? qMax(measured, longest * m_charWidth) : measured;
}

qreal LayoutCache::measuredWidth() const {
    foldMeasuredWidths();
    return m_measuredWidth;
}

int LayoutCache::measuredLongest() const {
    foldMeasuredWidths();
    return m_measuredLongest;
}

void LayoutCache::foldMeasuredWidths() const {
    for (const auto &[line, layout] : m_layouts) {
        if (layout->isComplete()) {
            m_measuredWidth = qMax(m_measuredWidth, layout->width());
            m_measuredLongest = qMax(m_measuredLongest, layout->length());
        }
    }
}
