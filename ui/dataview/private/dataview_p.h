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
#include "hexpresentation.h"
#include "keybinding.h"
#include "textpresentation.h"

#include <QBasicTimer>

class FindBox;
class FindRunner;
class TextAnnouncer;

// The DATA view's insides, for the engine's own parts (its accessibility
// adaptor) and for tests and tools that look inside: the model, the two
// presentations of its text (one shown), where the view stands, and the
// helpers the widget drives. A window needs DataView alone.
class DataViewPrivate {
public:
    explicit DataViewPrivate(DataView *view);
    ~DataViewPrivate();

    static DataViewPrivate *get(DataView *view) { return view->d.get(); }
    static const DataViewPrivate *get(const DataView *view) { return view->d.get(); }

    EditingModel &model() { return m_model; }
    const EditingModel &model() const { return m_model; }
    const Presentation &shown() const { return *m_shown; }
    bool isHexShown() const { return m_shown == &m_hex; }
    const HexRows &hexRows() const { return m_hex.rows(); }

    // What assistive technology reads: the text, or the hex view's rows
    // while it is shown. The three below count in its positions.
    const TextReader &reader() const { return m_shown->reader(); }
    // Where a position's caret is drawn, in viewport coordinates; the caret
    // itself when no position is given.
    QRect cursorRect(qsizetype position) const { return m_shown->readerRect(position); }
    QRect cursorRect() const { return m_shown->caretRect(); }
    // The position nearest to a point of the viewport.
    qsizetype positionAt(const QPoint &point) const { return m_shown->readerPositionAt(point); }
    // Scrolls so that a position is in sight; the caret stays where it is.
    void scrollToPosition(qsizetype position) { ensureVisible(m_shown->readerSpot(position)); }
    // Whether the operator may change the text now: not read-only, and not
    // in the hex view.
    bool isEditable() const { return !m_model.isReadOnly() && m_shown->isEditable(); }
    // The first line (hex row) in sight, and how many are.
    qsizetype firstVisibleLine() const { return m_frame.topRow; }
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
    void paint(QPainter *painter, const QRect &area) const;
    void updateFonts();
    void copy() const;
    void cut();
    void paste();
    void caretMoved();
    // Brings the scroll bars and the screen up to date with the text; a
    // frame of a stream may leave the vertical bar for later.
    void sync(FramePacer::Bar bar = FramePacer::Bar::Now);
    void syncVerticalBar();
    void ensureVisible(const Presentation::Spot &spot);
    void restartBlink();
    // Swaps what is shown, keeping the caret and the selection, the view
    // following the end, and otherwise the first character in sight at the
    // top; a caret that was in sight stays in sight.
    void show(Presentation *next);
    void setTimesShown(bool shown);

    DataView *const q;
    EditingModel m_model;
    Presentation::Frame m_frame;
    TextPresentation m_text{m_model, m_frame};
    HexPresentation m_hex{m_model, m_frame};
    Presentation *m_shown = &m_text;
    TextAnnouncer *const m_announcer;
    FramePacer *const m_pacer;
    FindRunner *const m_finder;
    bool m_tabChangesFocus = false;
    bool m_dragging = false;
    bool m_caretShown = true;
    QBasicTimer m_blinkTimer;

    qsizetype m_inSightBefore = 0;  // the first character in sight before a switch
    bool m_followPending = false;
    qreal m_syncedWidth = 0;  // the measured width the scroll range allows for
};
