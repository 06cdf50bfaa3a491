#pragma once

#include "bytecharset.h"

#include <QAbstractScrollArea>

#include <memory>

class DataViewPrivate;
class TextSnapshot;

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
// longer than LineIndex::Limit characters is broken for display only.
// Control characters are shown by name in a coloured box; text() and
// copying give the characters as received.
//
// This is what a window needs of it. The widget keeps events, painting and
// the scroll bars; the text, the caret and every edit belong to its
// EditingModel, and the rest of the engine reaches them through
// DataViewPrivate (private/dataview_p.h). Assistive technology reads and
// edits it through DataViewAccessible, once the application has called
// DataViewEngine::initialize(). Ctrl+F opens a find box in the view's
// window; the search runs in slices, so reception never waits for it.
//
// Two ways to look at the same text, each in the context menu:
// - The hex view ("Widok szesnastkowy", Ctrl+H): the text as rows of 16
//   bytes in its ByteCharset (hexrows.h), read-only. A character is a byte,
//   so the hex view shares the caret and the selection with the text: a
//   switch keeps the byte under the caret and shows the part of the text
//   that was in sight. It follows the end as the text does, and copying
//   gives the rows holding the selection, as they are shown.
// - Receive times ("Czas odbioru", Ctrl+T): each received line has the time
//   its first character came at, shown or not; shown, a margin left of the
//   text gives it (HH:MM:SS.mmm). The margin is not text: copying, find and
//   the text read by assistive technology are as without it.
// Neither view costs anything while off; the times cost about 6 bytes a
// received line.
//
// The window's own commands on the view are actions added to it
// (addAction(), with Qt::WidgetShortcut): its context menu lists them after
// its own entries, and their keys reach them, as the view claims only its
// own.
class DataView : public QAbstractScrollArea {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(bool readOnly READ isReadOnly WRITE setReadOnly)
    Q_PROPERTY(bool tabChangesFocus READ tabChangesFocus WRITE setTabChangesFocus)
    Q_PROPERTY(bool hexView READ isHexView WRITE setHexView)
    Q_PROPERTY(bool receiveTimesShown READ receiveTimesShown WRITE setReceiveTimesShown)

public:
    explicit DataView(QWidget *parent = nullptr);
    ~DataView() override;

    // The whole text, character for character, CR and LF as received.
    QString text() const;
    // Replaces the whole text (the initial text). The caret goes to the
    // end, so the view follows what arrives next.
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
    void setByteCharset(std::shared_ptr<const ByteCharset> charset);
    // The text as it stands, for another thread to read (textsnapshot.h).
    TextSnapshot snapshot() const;

    bool isReadOnly() const;
    void setReadOnly(bool readOnly);
    bool tabChangesFocus() const;
    void setTabChangesFocus(bool changes);
    bool isHexView() const;
    void setHexView(bool hex);
    // Showing them starts recording them; hiding them keeps those taken.
    bool receiveTimesShown() const;
    void setReceiveTimesShown(bool shown);

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

public slots:
    // Empties the view and gives the memory it held back.
    void clear();
    // Opens the find box, with the selected text to find when it is short.
    void find();

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
    friend class DataViewPrivate;
    const std::unique_ptr<DataViewPrivate> d;
};
