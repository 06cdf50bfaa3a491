#pragma once

#include "dataview.h"
#include "editingmodel.h"
#include "framepacer.h"
#include "keybinding.h"

#include <QBasicTimer>

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

    static DataViewPrivate *get(DataView *view) { return view->d.get(); }
    static const DataViewPrivate *get(const DataView *view) { return view->d.get(); }

    EditingModel &model() { return m_model; }
    const EditingModel &model() const { return m_model; }

    // Where a position's caret is drawn, in viewport coordinates; the caret
    // itself when no position is given.
    QRect cursorRect(qsizetype position) const;
    QRect cursorRect() const;
    // The position nearest to a point of the viewport.
    qsizetype positionAt(const QPoint &point) const;
    // Scrolls so that a position is in sight; the caret stays where it is.
    void scrollToPosition(qsizetype position);
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

    DataView *const q;
    EditingModel m_model;
    TextAnnouncer *const m_announcer;
    FramePacer *const m_pacer;
    FindRunner *const m_finder;
    bool m_tabChangesFocus = false;
    bool m_dragging = false;
    bool m_caretShown = true;
    QBasicTimer m_blinkTimer;

    qsizetype m_topLine = 0;
    int m_xOffset = 0;
    bool m_followPending = false;
    qreal m_syncedWidth = 0;  // the measured width the scroll range allows for
};
