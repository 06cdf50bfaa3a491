#pragma once

#include "bytecharset.h"

#include <QAbstractScrollArea>

#include <memory>

class DataViewPrivate;
class TextSnapshot;

// The DATA view: an editable multi-line view whose text is exactly what it
// was given, what the operator typed and every received character, in order.
//
// Cost: a received chunk costs time in proportion to its own size, whatever
// the view holds; the text takes about one byte a received character plus
// its line index, and about 6 bytes a received line for its receive time.
// Only the lines in sight are shaped and painted; the screen catches up once
// a frame, and while text streams in the vertical scroll bar twenty times a
// second.
//
// On screen, CR LF, a lone CR and a lone LF each end one line, and a line
// longer than LineIndex::Limit characters is broken for display only.
// Control characters are shown by name; text() and copying give the
// characters as received.
//
// The same text can be shown as lines or as read-only hex rows of its bytes
// (setHexView()); the caret and the selection stay over a switch, and
// copying in the hex view gives the rows holding the selection. The receive
// times' margin (setReceiveTimesShown()) is not text: copying, find and
// what assistive technology reads are as without it.
//
// Inside, the widget keeps events, the scroll bars and the caret's blink;
// the text, the caret and every edit belong to its EditingModel, and what is
// shown to one of two presentations (private/presentation.h). Assistive
// technology reads and edits it once the application has called
// DataViewEngine::initialize(). Find runs in slices, so reception never
// waits for it.
//
// Actions added to the view (addAction(), with Qt::WidgetShortcut) follow
// its own entries in its context menu, and their keys reach them: the view
// claims only its own keys.
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
