#pragma once

//
//  W A R N I N G
//  -------------
//
// This file is not part of the DATA view's API. It exists for the engine's
// own implementation and for its tests, which reach it through the
// kalvex_dataview_private target. It may change from version to version
// without notice, or even be removed.
//
// We mean it.
//

#include "editingmodel.h"
#include "linelayout.h"

#include <QFont>

#include <memory>
#include <unordered_map>

// The shaped lines of the DATA view and what they measured. A line is
// shaped when it is first drawn or asked about and kept while it is near the
// lines in sight; edits drop the lines they touch. Widths only count for
// lines shaped to their end, so an estimate never fixes the scroll range.
// It answers the model's caret questions from the shaped lines.
class LayoutCache final : public CaretGeometry {
public:
    explicit LayoutCache(const EditingModel &text);
    ~LayoutCache();

    // The font of the text; marks are drawn a little smaller. Drops
    // everything shaped.
    void setFont(const QFont &font);
    const LineLayout::Fonts &fonts() const { return m_fonts; }
    int lineHeight() const { return m_lineHeight; }
    qreal charWidth() const { return m_charWidth; }

    // How many lines are in sight; about twice as many stay shaped.
    void setLinesInSight(int lines) { m_inSight = qMax(1, lines); }

    const LineLayout &line(qsizetype line) const;

    // What the model tells of a change (EditingModel::linesChanged).
    void linesChanged(EditingModel::LinesChanged change, qsizetype line);

    // The widest line shaped to its end so far, and its length.
    qreal measuredWidth() const;
    int measuredLongest() const;
    // The width the text is reckoned to need: the measured one, or the
    // longest line at the font's average width while the longest has not
    // been shaped.
    qreal textWidth() const;

    // CaretGeometry
    int nextColumn(qsizetype line, int column) const override {
        return this->line(line).nextColumn(column);
    }
    int previousColumn(qsizetype line, int column) const override {
        return this->line(line).previousColumn(column);
    }
    qreal xForColumn(qsizetype line, int column) const override {
        return this->line(line).xForColumn(column);
    }
    int columnAt(qsizetype line, qreal x) const override { return this->line(line).columnAt(x); }

private:
    // The lines from `line` on changed (an edit); or only `line` did (text
    // was appended to the open last line).
    void dropFrom(qsizetype line);
    void drop(qsizetype line) { m_layouts.erase(line); }
    // The whole text was replaced: nothing shaped or measured holds.
    void clear();
    void foldMeasuredWidths() const;

    const EditingModel &m_text;
    LineLayout::Fonts m_fonts;
    int m_lineHeight = 1;
    qreal m_charWidth = 1;
    int m_inSight = 1;
    mutable std::unordered_map<qsizetype, std::unique_ptr<LineLayout>> m_layouts;
    mutable qreal m_measuredWidth = 0;
    mutable int m_measuredLongest = 0;
};
