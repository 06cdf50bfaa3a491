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

#include "layoutcache.h"
#include "presentation.h"

#include <QFont>
#include <QMetaObject>

// The text as lines: each displayed line shaped when it is first drawn or
// asked about (LayoutCache), control characters by name, and, while shown,
// a margin with each received line's time (HH:MM:SS.mmm). The margin is not
// text: copying, find and what assistive technology reads are as without
// it. The shaped lines are the model's caret geometry while this lives.
class TextPresentation final : public Presentation {
public:
    TextPresentation(EditingModel &model, const Frame &frame);
    ~TextPresentation() override;

    // How many lines are in sight; about twice as many stay shaped.
    void setLinesInSight(int lines) { m_layout.setLinesInSight(lines); }
    // The widest line shaped to its end so far.
    qreal measuredWidth() const { return m_layout.measuredWidth(); }
    bool timesShown() const { return m_timesShown; }
    // True when the margin's width changed.
    bool setTimesShown(bool shown);

    const TextReader &reader() const override { return m_model; }
    qsizetype textPosition(qsizetype readerPosition) const override { return readerPosition; }
    bool isEditable() const override { return true; }
    Qt::CursorShape cursorShape() const override { return Qt::IBeamCursor; }
    void becomeShown() override;

    void setFont(const QFont &font) override;
    qsizetype rowCount() const override { return m_model.lineCount(); }
    int rowHeight() const override { return m_layout.lineHeight(); }
    qreal contentWidth() const override { return m_layout.textWidth() + m_marginWidth; }
    qreal scrollStep() const override { return m_layout.charWidth(); }
    int leadingWidth() const override { return m_marginWidth; }

    qsizetype rowOf(qsizetype position) const override { return m_model.lineAt(position).number; }
    qsizetype caretRow() const override { return m_model.caretPlace().line; }
    qsizetype rowStart(qsizetype row) const override;
    Spot caretSpot() const override { return spotAt(m_model.caretPlace()); }
    Spot readerSpot(qsizetype position) const override { return spotAt(placeOf(position)); }

    QRect caretRect() const override { return rectAt(m_model.caretPlace()); }
    QRect readerRect(qsizetype position) const override { return rectAt(placeOf(position)); }
    qsizetype readerPositionAt(const QPointF &point) const override {
        return m_model.positionOf(hitTest(point));
    }

    void placeCaretAt(const QPointF &point, EditingModel::MoveMode mode) override {
        m_model.moveTo(hitTest(point), mode);
    }
    void selectUnitAt(const QPointF &point) override { m_model.selectWordAt(hitTest(point)); }
    void move(EditingModel::Move move, EditingModel::MoveMode mode, int pageRows) override {
        m_model.move(move, mode, pageRows);
    }
    QString copiedText() const override { return m_model.selectedText(); }

    void paint(QPainter *painter, const QRect &area, const Look &look) const override;

private:
    using Place = EditingModel::Place;
    Place placeOf(qsizetype position) const;
    Place hitTest(const QPointF &point) const;
    QRect rectAt(const Place &at) const;
    Spot spotAt(const Place &at) const;
    QPointF lineOrigin(qsizetype line) const;
    void paintMargin(QPainter *painter, const QRect &area, const QPalette &colours) const;

    LayoutCache m_layout{m_model};
    QMetaObject::Connection m_linesChanged;
    QFont m_font;
    bool m_timesShown = false;
    int m_marginWidth = 0;  // of the receive times, while shown
};
