#pragma once

#include "layoutcache.h"
#include "lineindex.h"
#include "textstore.h"
#include "undohistory.h"

#include <QObject>
#include <QString>

// The DATA view's text with its caret, its selection and every edit, without
// a widget: the view, find and accessibility all drive this one model.
//
// Positions are offsets into the text. Where a display break falls, one
// position is both the end of one line and the start of the next; the caret
// remembers which of the two it shows (upstream: the end of the line above).
//
// Operator edits:
// - Enter, and every line break in pasted or committed text, becomes CR LF.
//   Other characters, control characters included, are kept exactly.
// - Backspace or Delete at a line break deletes the whole break (both
//   characters of a CR LF). At a display-only break they only step over it:
//   the text does not change.
// - Nothing changes the text while the model is read-only, except received
//   text and replacing the whole text.
//
// Every operator edit can be undone and redone (UndoHistory); received text
// never is, and replacing the whole text forgets the history.
class EditingModel : public QObject {
    Q_OBJECT

public:
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

    explicit EditingModel(QObject *parent = nullptr);
    ~EditingModel() override;

    // The text, its displayed lines and their shapes.
    const TextStore &store() const { return m_store; }
    const LineIndex &lines() const { return m_lines; }
    LayoutCache &layout() const { return m_layout; }
    qsizetype length() const { return m_store.size(); }
    QString text() const { return m_store.toString(); }
    QString mid(qsizetype position, qsizetype length) const {
        return m_store.mid(position, length);
    }
    // A displayed line's characters, without its line end.
    QString lineText(qsizetype line) const;

    // Replaces the whole text and gives the memory held for the old one and
    // for the undo history back. The caret goes to the end.
    void setText(QStringView text);
    // Received characters go after everything; a caret at the end with
    // nothing selected stays at the end. Bytes are characters of the text's
    // ByteCharset, one a byte, and are kept as they came.
    void appendReceived(QStringView chunk);
    void appendReceivedBytes(QByteArrayView bytes);

    // What the text's single bytes stand for (Latin-1 unless set). The text
    // is kept, re-encoded; the undo history is forgotten.
    const ByteCharset &byteCharset() const { return m_store.charset(); }
    void setByteCharset(std::shared_ptr<const ByteCharset> charset);

    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

    // Caret and selection. A selection runs between the anchor and the caret.
    qsizetype caret() const { return m_caret; }
    qsizetype anchor() const { return m_anchor; }
    bool isUpstream() const { return m_upstream; }
    bool hasSelection() const { return m_caret != m_anchor; }
    qsizetype selectionStart() const { return qMin(m_caret, m_anchor); }
    qsizetype selectionEnd() const { return qMax(m_caret, m_anchor); }
    QString selectedText() const {
        return mid(selectionStart(), selectionEnd() - selectionStart());
    }

    Place place(qsizetype position, bool upstream = false) const;
    Place caretPlace() const { return place(m_caret, m_upstream); }
    qsizetype positionOf(const Place &at) const { return m_lines.lineStart(at.line) + at.column; }

    // Places the caret, selecting from anchor when one is given. A position
    // inside a CR LF goes to the start of the CR LF.
    void setCaret(qsizetype position, qsizetype anchor = -1);
    // Selects exactly [from, to), the caret at `to`.
    void select(qsizetype from, qsizetype to);
    void moveTo(const Place &to, bool keepAnchor);
    // A page is pageLines lines.
    void move(Move move, bool select, int pageLines = 1);
    void selectAll();
    void selectWordAt(const Place &at);

    // Operator edits, each at the caret, replacing the selection.
    // Typed text: characters, Enter ("\n"), Tab, text from an input method.
    void type(QStringView text);
    // Pasted text.
    void paste(QStringView text);
    void removeSelection();
    void deleteBackward();
    void deleteForward();
    void deleteWordBackward();
    void deleteWordForward();
    // Replaces [from, to) with text (an assistive technology's edit); line
    // breaks become CR LF as in pasted text.
    void replace(qsizetype from, qsizetype to, QStringView text);

    // Undoes the last step of edits (redoes the last undone step): the
    // characters it put in go, those it took out come back at their places,
    // whatever was received since. The caret goes back to where it was
    // before the step (to the end of the step's last edit).
    void undo();
    void redo();
    bool canUndo() const { return !m_readOnly && m_history.canUndo(); }
    bool canRedo() const { return !m_readOnly && m_history.canRedo(); }
    const UndoHistory &history() const { return m_history; }

    // Bytes held for the text and its lines.
    qsizetype memoryUsed() const { return m_store.allocatedBytes() + m_lines.allocatedBytes(); }

    // Every line break (CR LF, CR, LF) as CR LF, everything else as it is.
    static QString windowsLineEnds(QStringView text);

signals:
    // [position, position + length) is about to be taken out of the text.
    void aboutToRemove(qsizetype position, qsizetype length);
    // `removed` characters at position were replaced by `inserted` ones;
    // received text is `inserted` characters at the old end.
    void textChanged(qsizetype position, qsizetype removed, qsizetype inserted);
    // The caret or the selection moved other than by following received
    // text: the view brings the caret into sight.
    void caretMoved();

private:
    template <typename Chunk>
    void receive(Chunk chunk);
    void placeCaret(qsizetype position, bool upstream, bool keepAnchor, bool keepGoal = false,
                    bool byOperator = true);
    using Kind = UndoHistory::Kind;
    void edit(Kind kind, qsizetype from, qsizetype to, QStringView text);
    void replaceSelection(Kind kind, QStringView text);
    bool deletesOnlySelection();
    // The text store's edit with everything that follows from it; returns
    // what was taken out.
    template <typename Text>
    TextStore splice(qsizetype from, qsizetype removed, Text &&text);
    void swap(UndoHistory::Edit &edit);

    TextStore m_store;
    LineIndex m_lines;
    mutable LayoutCache m_layout{m_store, m_lines};
    UndoHistory m_history;

    qsizetype m_caret = 0;
    qsizetype m_anchor = 0;
    bool m_upstream = false;  // the caret shows at the end of a broken line
    qreal m_goalX = -1;       // where up and down keep the caret
    bool m_readOnly = false;
};
