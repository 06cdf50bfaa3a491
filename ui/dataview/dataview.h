#pragma once

#include "editingmodel.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QPointer>

// The DATA view: an editable multi-line view whose text is exactly what it
// was given, what the operator typed and every received character, in order.
//
// It holds hours of a device's output: the text sits in pieces, one byte a
// received character, the displayed lines in a compact index, and only the
// lines in sight are shaped and painted. Received chunks cost time in
// proportion to their own size; the screen catches up once a frame, and
// while text streams in the vertical scroll bar twenty times a second.
//
// On screen, CR LF, a lone CR and a lone LF each end one line, and a line
// longer than DisplayLineLimit is broken for display only. Control
// characters are shown by name in a coloured box; text() and copying give
// the characters as received.
//
// The widget keeps events, painting and the scroll bars; the text, the caret
// and every edit belong to its EditingModel. Assistive technology reads and
// edits it through DataViewAccessible. Ctrl+F opens a find box in the view's
// window; the search runs in slices, so reception never waits for it. The
// window's own commands on the view are actions added to it (addAction(),
// with Qt::WidgetShortcut): its context menu lists them after its own
// entries, and their keys reach them, as the view claims only its own.
class FindBox;
class FindSearch;
struct KeyBinding;
class TextAnnouncer;

class DataView : public QAbstractScrollArea {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(bool readOnly READ isReadOnly WRITE setReadOnly)
    Q_PROPERTY(bool tabChangesFocus READ tabChangesFocus WRITE setTabChangesFocus)

public:
    static constexpr int DisplayLineLimit = LineIndex::Limit;

    explicit DataView(QWidget *parent = nullptr);
    ~DataView() override;

    EditingModel &model() { return m_model; }
    const EditingModel &model() const { return m_model; }

    // The whole text, character for character, CR and LF as received.
    QString text() const { return m_model.text(); }
    // Replaces the whole text (the initial text; clearing, which also gives
    // the memory back). The caret goes to the end, so the view follows what
    // arrives next.
    void setText(const QString &text);
    // Appends received characters; costs time in proportion to the chunk. If
    // the view showed its end, with the caret there and nothing selected, it
    // keeps showing the end; otherwise nothing moves.
    void appendReceived(const QString &chunk);
    // The same for received bytes, one a character of the view's byte
    // charset (setByteCharset()), kept as they came.
    void appendReceivedBytes(QByteArrayView bytes);
    // What received bytes stand for: the serial line's code page. The text
    // held is kept; the undo history is forgotten.
    void setByteCharset(std::shared_ptr<const ByteCharset> charset) {
        m_model.setByteCharset(std::move(charset));
    }
    qsizetype length() const { return m_model.length(); }

    bool isReadOnly() const { return m_model.isReadOnly(); }
    void setReadOnly(bool readOnly);
    bool tabChangesFocus() const { return m_tabChangesFocus; }
    void setTabChangesFocus(bool changes) { m_tabChangesFocus = changes; }

    // Displayed lines.
    qsizetype lineCount() const { return m_model.lines().lineCount(); }
    qsizetype lineStart(qsizetype line) const { return m_model.lines().lineStart(line); }
    LineEnd lineEnd(qsizetype line) const { return m_model.lines().lineEnd(line); }
    // The line's characters as received, without its line end.
    QString lineText(qsizetype line) const { return m_model.lineText(line); }
    qsizetype firstVisibleLine() const { return m_topLine; }
    int visibleLines() const;

    // Caret and selection. A selection runs between the anchor and the caret.
    qsizetype caretPosition() const { return m_model.caret(); }
    qsizetype anchorPosition() const { return m_model.anchor(); }
    qsizetype caretLine() const { return m_model.caretPlace().line; }
    // Places the caret, selecting from anchor when one is given, and brings
    // it into sight. A position inside a CR LF goes to the start of the CR LF.
    void setCaret(qsizetype position, qsizetype anchor = -1) { m_model.setCaret(position, anchor); }
    bool hasSelection() const { return m_model.hasSelection(); }
    QString selectedText() const { return m_model.selectedText(); }
    // True while appended text keeps the end in sight.
    bool isFollowingEnd() const;

    // Where a position's caret is drawn, in viewport coordinates; the caret
    // itself when no position is given.
    QRect cursorRect(qsizetype position) const;
    QRect cursorRect() const;
    // The position nearest to a point of the viewport.
    qsizetype positionAt(const QPoint &point) const;
    // Scrolls so that a position is in sight; the caret stays where it is.
    void scrollToPosition(qsizetype position);

    // Bytes held for the text and its lines.
    qsizetype memoryUsed() const { return m_model.memoryUsed(); }

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

    // The find box, once it was opened.
    FindBox *findBox() const;

public slots:
    void selectAll() { m_model.selectAll(); }
    void copy() const;
    void cut();
    void paste();
    // Opens the find box, with the selected text to find when it is short.
    void find();
    // Searches again for the find box's text from the selection on, or back.
    void findNext() { startFind(false); }
    void findPrevious() { startFind(true); }

protected:
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void timerEvent(QTimerEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void run(const KeyBinding &binding, const QKeyEvent *event);
    template <typename Chunk>
    void receive(const Chunk &chunk);

    EditingModel::Place hitTest(const QPointF &point) const;
    QRect rectAt(const EditingModel::Place &at) const;
    QPointF lineOrigin(qsizetype line) const;
    void updateFonts();

    void textChanged(qsizetype position, qsizetype removed, qsizetype inserted);
    void caretMoved();
    void startFind(bool backward);
    void found(qsizetype position, qsizetype length, bool wrapped);
    void scheduleSync();
    // `frame`: a frame of a stream of received text, which may leave the
    // vertical scroll bar to be brought up to date later.
    void syncNow(bool frame = false);
    void syncVerticalBar();
    void ensureVisible(const EditingModel::Place &at);
    void restartBlink();

    EditingModel m_model;
    TextAnnouncer *m_announcer;
    FindSearch *m_search;
    QPointer<FindBox> m_findBox;
    bool m_tabChangesFocus = false;
    bool m_dragging = false;
    bool m_caretShown = true;

    qsizetype m_topLine = 0;
    int m_xOffset = 0;
    bool m_followPending = false;
    bool m_streaming = false;  // the pending sync is a frame of a stream
    QBasicTimer m_syncTimer;
    QBasicTimer m_barTimer;  // the held vertical scroll bar's next update
    QElapsedTimer m_sinceBar;
    QBasicTimer m_blinkTimer;
    QElapsedTimer m_sinceSync;
    qreal m_syncedWidth = 0;  // the measured width the scroll range allows for
};
