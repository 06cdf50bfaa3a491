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

#include "dataview.h"
#include "editingmodel.h"
#include "framepacer.h"
#include "hexrows.h"
#include "keybinding.h"

#include <QBasicTimer>
#include <QColor>
#include <QFont>

class FindBox;
class FindRunner;
class TextAnnouncer;

// The DATA view's insides, for the engine's own parts (its accessibility
// adaptor) and for tests and tools that look inside: the model, where the
// text is on the screen, and the helpers the widget drives. A window needs
// DataView alone.
class DataViewPrivate {
public:
    explicit DataViewPrivate(DataView *view);
    ~DataViewPrivate();

    // Space between the frame and the text.
    static constexpr int Margin = 4;
    // A character shown by its name (linelayout.h), a hex place without a
    // byte.
    static QColor markText() { return QColor(0x9c, 0x1c, 0x1c); }
    static QColor markBackground() { return QColor(0xff, 0xe0, 0xb2); }

    static DataViewPrivate *get(DataView *view) { return view->d.get(); }
    static const DataViewPrivate *get(const DataView *view) { return view->d.get(); }

    EditingModel &model() { return m_model; }
    const EditingModel &model() const { return m_model; }

    // What assistive technology reads: the text, or the hex view's rows
    // while it is shown. The three below count in its positions.
    const TextReader &reader() const;
    // Where a position's caret is drawn, in viewport coordinates; the caret
    // itself when no position is given.
    QRect cursorRect(qsizetype position) const;
    QRect cursorRect() const;
    // The position nearest to a point of the viewport.
    qsizetype positionAt(const QPoint &point) const;
    // Scrolls so that a position is in sight; the caret stays where it is.
    void scrollToPosition(qsizetype position);
    // Whether the operator may change the text now: not read-only, and not
    // in the hex view.
    bool isEditable() const;
    // The first line (hex row) in sight, and how many are.
    qsizetype firstVisibleLine() const { return m_topLine; }
    int visibleLines() const;
    // True while appended text keeps the end in sight.
    bool isFollowingEnd() const;
    // The find box, once it was opened.
    FindBox *findBox() const;

    // What the widget's handlers call.
    void run(const KeyBinding &binding, const QKeyEvent *event);
    KeyBinding::ViewStates keyStates() const;
    template <typename Chunk>
    void receive(const Chunk &chunk);
    EditingModel::Place hitTest(const QPointF &point) const;
    QRect rectAt(const EditingModel::Place &at) const;
    QPointF lineOrigin(qsizetype line) const;
    void paint(QPainter *painter, const QRect &area) const;
    void updateFonts();
    // What copying gives: the selected text, or the hex rows holding it.
    QString copiedText() const;
    void copy() const;
    void cut();
    void paste();
    void caretMoved();
    // Brings the scroll bars and the screen up to date with the text; a
    // frame of a stream may leave the vertical bar for later.
    void sync(FramePacer::Bar bar = FramePacer::Bar::Now);
    void syncVerticalBar();
    void ensureVisible(const EditingModel::Place &at);
    void restartBlink();

    // The hex view (dataviewhex.cpp) and the receive times' margin.
    void setHexShown(bool shown);
    void setTimesShown(bool shown);
    void updateHexFont();
    const HexRows &hexRows() const { return m_hexRows; }
    // Lines, or hex rows, and their height.
    qsizetype rowCount() const;
    int rowHeight() const;
    qreal contentWidth() const;
    void paintMargin(QPainter *painter, const QRect &area) const;
    void paintHex(QPainter *painter, const QRect &area) const;
    // The text position nearest to a point; where a place of the rows' text
    // is, and where the caret before a byte is drawn.
    qsizetype hexPositionAt(const QPointF &point) const;
    QRect hexRect(qsizetype rowsPosition) const;
    QRect hexCaretRect(qsizetype position) const;
    void hexMove(EditingModel::Move move, EditingModel::MoveMode mode);
    void ensureHexVisible(qsizetype position);

    DataView *const q;
    EditingModel m_model;
    TextAnnouncer *const m_announcer;
    FramePacer *const m_pacer;
    FindRunner *const m_finder;
    bool m_tabChangesFocus = false;
    bool m_dragging = false;
    bool m_caretShown = true;
    QBasicTimer m_blinkTimer;

    HexRows m_hexRows{m_model};
    bool m_hexShown = false;
    qsizetype m_inSightBefore = 0;  // the first character in sight before a switch
    QFont m_hexFont;
    qreal m_cellWidth = 1;  // of a character of the hex view
    int m_hexRowHeight = 1;
    int m_hexAscent = 0;
    bool m_timesShown = false;
    int m_marginWidth = 0;  // of the receive times

    qsizetype m_topLine = 0;  // a hex row in the hex view
    int m_xOffset = 0;
    bool m_followPending = false;
    qreal m_syncedWidth = 0;  // the measured width the scroll range allows for
};
