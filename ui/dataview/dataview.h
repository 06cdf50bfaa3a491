#pragma once

#include "lineindex.h"
#include "linelayout.h"
#include "textstore.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>

#include <memory>
#include <unordered_map>

// The DATA view: an editable multi-line view whose text is exactly what it
// was given, what the operator typed and every received character, in order.
//
// It holds hours of a device's output: the text sits in pieces (two bytes a
// character), the displayed lines in a compact index, and only the lines in
// sight are laid out and painted. Received chunks cost time in proportion to
// their own size; the scroll bars and the screen catch up once a frame.
//
// On screen, CR LF, a lone CR and a lone LF each end one line, and a line
// longer than DisplayLineLimit is broken for display only. Control
// characters are shown by name in a coloured box; text() and copying give
// the characters as received.
//
// Operator edits:
// - Enter, and every line break in pasted text, becomes CR LF. Other pasted
//   characters, control characters included, are kept exactly.
// - Backspace or Delete at a line break deletes the whole break (both
//   characters of a CR LF). At a display-only break they only step over it:
//   text() does not change.
//
// Positions are offsets into text(). Where a display break falls, one
// position is both the end of one line and the start of the next; the caret
// remembers which of the two it shows.
class DataView : public QAbstractScrollArea {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(bool readOnly READ isReadOnly WRITE setReadOnly)
    Q_PROPERTY(bool tabChangesFocus READ tabChangesFocus WRITE setTabChangesFocus)

public:
    static constexpr int DisplayLineLimit = LineIndex::Limit;

    explicit DataView(QWidget *parent = nullptr);
    ~DataView() override;

    // The whole text, character for character, CR and LF as received.
    QString text() const;
    // Replaces the whole text (the initial text; clearing, which also gives
    // the memory back). The caret goes to the end, so the view follows what
    // arrives next.
    void setText(const QString &text);
    // Appends received characters; costs time in proportion to the chunk. If
    // the view showed its end, with the caret there and nothing selected, it
    // keeps showing the end; otherwise nothing moves.
    void appendReceived(const QString &chunk);
    qsizetype length() const { return m_store.size(); }

    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    bool tabChangesFocus() const { return m_tabChangesFocus; }
    void setTabChangesFocus(bool changes) { m_tabChangesFocus = changes; }

    // Displayed lines.
    qsizetype lineCount() const { return m_lines.lineCount(); }
    qsizetype lineStart(qsizetype line) const { return m_lines.lineStart(line); }
    LineEnd lineEnd(qsizetype line) const { return m_lines.lineEnd(line); }
    // The line's characters as received, without its line end.
    QString lineText(qsizetype line) const;
    qsizetype firstVisibleLine() const { return m_topLine; }

    // Caret and selection. A selection runs between the anchor and the caret.
    qsizetype caretPosition() const { return m_caret; }
    qsizetype anchorPosition() const { return m_anchor; }
    qsizetype caretLine() const { return place(m_caret, m_upstream).line; }
    // Places the caret, selecting from anchor when one is given, and brings
    // it into sight. A position inside a CR LF goes to the start of the CR LF.
    void setCaret(qsizetype position, qsizetype anchor = -1);
    bool hasSelection() const { return m_caret != m_anchor; }
    QString selectedText() const;
    // True while appended text keeps the end in sight.
    bool isFollowingEnd() const;

    // Where a position's caret is drawn, in viewport coordinates; the caret
    // itself when no position is given.
    QRect cursorRect(qsizetype position) const;
    QRect cursorRect() const;
    // The position nearest to a point of the viewport.
    qsizetype positionAt(const QPoint &point) const;

    // Bytes held for the text and its lines.
    qsizetype memoryUsed() const { return m_store.allocatedBytes() + m_lines.allocatedBytes(); }

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

public slots:
    void selectAll();
    void copy() const;
    void cut();
    void paste();

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
    struct Place {
        qsizetype line;
        int column;
    };
    enum class Move {
        NextChar,
        PreviousChar,
        NextWord,
        PreviousWord,
        NextLine,
        PreviousLine,
        NextPage,
        PreviousPage,
        StartOfLine,
        EndOfLine,
        StartOfText,
        EndOfText
    };

    Place place(qsizetype position, bool upstream) const;
    Place hitTest(const QPointF &point) const;
    QRect rectAt(const Place &at) const;
    const LineLayout &layoutFor(qsizetype line) const;
    void dropLayoutsFrom(qsizetype line);
    void foldMeasuredWidths() const;
    void updateFonts();
    int visibleLines() const;
    QPointF lineOrigin(qsizetype line) const;

    void scheduleSync();
    void syncNow();
    void ensureCaretVisible();
    void restartBlink();

    void moveTo(const Place &to, bool keepAnchor);
    void moveTo(qsizetype position, bool upstream, bool keepAnchor);
    bool handleMovement(QKeyEvent *event);
    void move(Move move, bool select);
    bool handleEditing(QKeyEvent *event);
    bool isEditingKey(QKeyEvent *event) const;
    void replace(qsizetype from, qsizetype to, QStringView text);
    void insertAtCaret(const QString &text);
    void deleteBackward();
    void deleteForward();

    TextStore m_store;
    LineIndex m_lines;

    qsizetype m_caret = 0;
    qsizetype m_anchor = 0;
    bool m_upstream = false;  // the caret shows at the end of a broken line
    qreal m_goalX = -1;       // where up and down keep the caret
    bool m_readOnly = false;
    bool m_tabChangesFocus = false;
    bool m_dragging = false;
    bool m_caretShown = true;

    qsizetype m_topLine = 0;
    int m_xOffset = 0;
    bool m_followPending = false;
    QBasicTimer m_syncTimer;
    QBasicTimer m_blinkTimer;
    QElapsedTimer m_sinceSync;
    qreal m_syncedWidth = 0;  // the measured width the scroll range allows for

    LineLayout::Fonts m_fonts;
    int m_lineHeight = 1;
    qreal m_charWidth = 1;
    mutable std::unordered_map<qsizetype, std::unique_ptr<LineLayout>> m_layouts;
    mutable qreal m_measuredWidth = 0;
    mutable int m_measuredLongest = 0;  // characters of the longest line measured
};
