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

#include "hexrows.h"
#include "presentation.h"

#include <QFont>

// The text as rows of 16 bytes (HexRows) in the system's fixed-pitch font,
// read-only. A character is a byte, so the caret and the selection are the
// text's; the caret is a box around the byte after it, in both columns, and
// the last row is where it goes after the last byte. Assistive technology
// reads the rows as they are shown. Costs nothing while the text is shown.
class HexPresentation final : public Presentation {
public:
    HexPresentation(EditingModel &model, const Frame &frame);

    const HexRows &rows() const { return m_rows; }

    const TextReader &reader() const override { return m_rows; }
    qsizetype textPosition(qsizetype readerPosition) const override {
        return m_rows.textPosition(readerPosition);
    }
    bool isEditable() const override { return false; }
    Qt::CursorShape cursorShape() const override { return Qt::ArrowCursor; }

    void setFont(const QFont &font) override;
    qsizetype rowCount() const override { return m_model.length() / HexRows::RowBytes + 1; }
    int rowHeight() const override { return m_rowHeight; }
    qreal contentWidth() const override { return m_rows.rowWidth() * m_cellWidth; }
    qreal scrollStep() const override { return m_cellWidth; }

    qsizetype rowOf(qsizetype position) const override { return position / HexRows::RowBytes; }
    qsizetype caretRow() const override { return rowOf(m_model.caret()); }
    qsizetype rowStart(qsizetype row) const override { return row * HexRows::RowBytes; }
    Spot caretSpot() const override { return spotAt(m_model.caret()); }
    Spot readerSpot(qsizetype position) const override {
        return spotAt(m_rows.textPosition(position));
    }

    QRect caretRect() const override { return readerRect(m_rows.caret()); }
    QRect readerRect(qsizetype position) const override;
    qsizetype readerPositionAt(const QPointF &point) const override {
        return m_rows.rowsPosition(positionAt(point));
    }

    void placeCaretAt(const QPointF &point, EditingModel::MoveMode mode) override;
    void selectUnitAt(const QPointF &point) override;
    void move(EditingModel::Move move, EditingModel::MoveMode mode, int pageRows) override;
    QString copiedText() const override {
        return m_rows.rowsText(m_model.selectionStart(), m_model.selectionEnd());
    }

    void paint(QPainter *painter, const QRect &area, const Look &look) const override;

private:
    // The text position nearest to a point.
    qsizetype positionAt(const QPointF &point) const;
    Spot spotAt(qsizetype position) const;
    // Where the caret before a byte is drawn, in the hex column.
    QRect caretBox(qsizetype position) const;
    qreal columnX(int column) const { return Margin - m_frame.xOffset + column * m_cellWidth; }

    HexRows m_rows{m_model};
    QFont m_font;
    qreal m_cellWidth = 1;  // of a character
    int m_rowHeight = 1;
    int m_ascent = 0;
};
