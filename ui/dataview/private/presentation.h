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

#include <QColor>
#include <QPalette>
#include <QRect>

#include <utility>

class QFont;
class QPainter;

// One way of showing the DATA view's text: rows of a height, their width,
// where a point or a position is among them, how the caret moves over them
// and how they are painted. The text as lines (TextPresentation) and as hex
// rows (HexPresentation) are the two; the view swaps one for the other and
// keeps the scroll bars, the caret's blink and the events itself. Both
// share the model, so the caret and the selection stay over a switch.
//
// Positions are the text's, except where a function says it counts in the
// reader's (what assistive technology reads of this presentation).
class Presentation {
public:
    // Where the view stands: the first row in sight, and how far the
    // content is scrolled to the left. The view owns it; presentations read.
    struct Frame {
        qsizetype topRow = 0;
        int xOffset = 0;
    };
    // What a paint needs of the widget.
    struct Look {
        const QPalette &palette;
        QPalette::ColorGroup group;
        bool focused;
        bool caretOn;  // the blinking caret is in its visible phase
    };
    // What of the content must be in sight to show a position: its row, and
    // the x range in content coordinates.
    struct Spot {
        qsizetype row;
        qreal left;
        qreal right;
    };

    // Space between the frame and the content.
    static constexpr int Margin = 4;
    // A character shown by its name, a hex place without a byte.
    static QColor markText() { return QColor(0x9c, 0x1c, 0x1c); }
    static QColor markBackground() { return QColor(0xff, 0xe0, 0xb2); }

    Presentation(EditingModel &model, const Frame &frame) : m_model(model), m_frame(frame) {}
    virtual ~Presentation() = default;
    Presentation(const Presentation &) = delete;
    Presentation &operator=(const Presentation &) = delete;

    // What assistive technology reads, and its positions as the text's.
    virtual const TextReader &reader() const = 0;
    virtual qsizetype textPosition(qsizetype readerPosition) const = 0;
    // Whether the operator may change the text through it (when the view
    // is not read-only).
    virtual bool isEditable() const = 0;
    virtual Qt::CursorShape cursorShape() const = 0;
    // Called once it is shown, after the other was.
    virtual void becomeShown() {}

    virtual void setFont(const QFont &font) = 0;
    virtual qsizetype rowCount() const = 0;
    virtual int rowHeight() const = 0;
    virtual qreal contentWidth() const = 0;
    // A step of the horizontal scroll bar.
    virtual qreal scrollStep() const = 0;
    // Room left of the content that does not scroll (the receive times).
    virtual int leadingWidth() const { return 0; }

    // The row a position is on; the caret's; the first position of a row.
    virtual qsizetype rowOf(qsizetype position) const = 0;
    virtual qsizetype caretRow() const = 0;
    virtual qsizetype rowStart(qsizetype row) const = 0;
    virtual Spot caretSpot() const = 0;
    virtual Spot readerSpot(qsizetype readerPosition) const = 0;

    // Viewport coordinates: where the caret, or a reader position's caret,
    // is drawn; the reader position nearest to a point.
    virtual QRect caretRect() const = 0;
    virtual QRect readerRect(qsizetype readerPosition) const = 0;
    virtual qsizetype readerPositionAt(const QPointF &point) const = 0;

    // The caret to a point (a click, a drag); the unit under a point
    // selected (a double click); a key's move, a page being pageRows rows.
    virtual void placeCaretAt(const QPointF &point, EditingModel::MoveMode mode) = 0;
    virtual void selectUnitAt(const QPointF &point) = 0;
    virtual void move(EditingModel::Move move, EditingModel::MoveMode mode, int pageRows) = 0;
    // What copying the selection gives.
    virtual QString copiedText() const = 0;

    virtual void paint(QPainter *painter, const QRect &area, const Look &look) const = 0;

protected:
    // The rows of `rows` painted that an area of the viewport shows, first
    // and last.
    std::pair<qsizetype, qsizetype> rowsIn(const QRect &area, qsizetype rows) const;
    // The row a viewport y is on (not bounded), and a row's top.
    qsizetype rowAtY(qreal y) const;
    qreal rowTop(qsizetype row) const { return Margin + qreal(row - m_frame.topRow) * rowHeight(); }

    EditingModel &m_model;
    const Frame &m_frame;
};
