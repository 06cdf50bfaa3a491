#pragma once

#include <QPlainTextEdit>

class QMimeData;
class QTextCursor;

// The DATA view: an editable multi-line view whose text is exactly what it
// was given, what the operator typed and every received character, in order.
//
// The document is only the display. Each block is one displayed line and
// remembers in its user state how it ended: CR LF, LF, CR, or a break made
// for display only. Control characters are shown as visible symbols whose
// format carries the character they stand for. text() and copying map the
// display back to the characters as received.
//
// Operator edits:
// - Enter, and every line break in pasted text, becomes CR LF. Other pasted
//   characters, control characters included, are kept exactly.
// - Deleting a line break joins two lines; the joined line ends as the lower
//   one did, so nothing else in the text changes. Deleting a display-only
//   break changes nothing in text().
// - A marked control character is a single position: the caret stands before
//   or after it, never inside, and deleting it deletes the character it stands
//   for. Typed text next to it is plain text.
class DataView : public QPlainTextEdit {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)

public:
    // Lines longer than this are broken on screen (never in text()): the
    // editor lays out a whole line again on every append, so a device that
    // sends megabytes without a line end would otherwise stall the view.
    static constexpr int DisplayLineLimit = 4096;

    explicit DataView(QWidget *parent = nullptr);

    // The whole text, character for character, CR and LF as received.
    QString text() const;
    // Replaces the whole text (the initial text; clearing). The caret goes to
    // the end, so the view follows what arrives next.
    void setText(const QString &text);
    // Appends received characters; costs time in proportion to the chunk.
    void appendReceived(const QString &chunk);

protected:
    QMimeData *createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData *source) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    QString originalText(int from, int to) const;
    void insertOriginal(QTextCursor &cursor, const QString &text);
    void insertRun(QTextCursor &cursor, const QString &text, qsizetype from, qsizetype to);
    void insertLineEnd(QTextCursor &cursor, QChar ch, bool lastOfInsert);
    void insertAtCaret(const QString &text);
    void prepareTyping();
    void unmarkTyped();
};
