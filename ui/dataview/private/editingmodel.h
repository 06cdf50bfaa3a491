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

#include "caretgeometry.h"
#include "lineindex.h"
#include "receivetimes.h"
#include "textreader.h"
#include "textsnapshot.h"
#include "textstore.h"
#include "undohistory.h"

#include <QObject>
#include <QString>

#include <memory>

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
// never is, and replacing the whole text forgets the history. Typing (Enter
// too), a run of Backspace and a run of Delete each make one step, which
// ends where the caret moves other than by that step's edits or a chunk
// arrives: decided in one place, endUndoStep().
//
// Each received line (a line whose first character was received, or that
// received characters filled after the operator emptied it) gets the time
// its chunk came at (ReceiveTimes); the times follow their lines through
// edits, undo and redo.
//
// The text store and the line index are the model's own: others read the
// text through TextReader and the model's functions. How lines are shown is
// not the model's: the view tells it where the caret may stop
// (CaretGeometry), and keeps its shaped lines in step through textChanged.
// The model needs Qt Core alone.
class EditingModel final : public QObject, public TextReader {
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
    // Whether a move leaves a bare caret or selects from the anchor on, as
    // with QTextCursor.
    enum MoveMode { MoveAnchor, KeepAnchor };
    // Which displayed lines show otherwise after a change: all of them (the
    // text was replaced), a line and every one after it (an edit), or one
    // line alone (received text filled it; the lines after it are new).
    enum class LinesChanged { All, From, Only };

    explicit EditingModel(QObject *parent = nullptr);
    ~EditingModel() override;

    // TextReader: what find and assistive technology read.
    qsizetype length() const override { return m_store.size(); }
    QString mid(qsizetype position, qsizetype length) const override {
        return m_store.mid(position, length);
    }
    void visit(qsizetype position, qsizetype length, const SpanVisitor &visit) const override;
    TextLine lineAt(qsizetype position) const override;
    qsizetype caret() const override { return m_caret; }
    qsizetype anchor() const override { return m_anchor; }

    QString text() const { return m_store.toString(); }
    // The text as it stands, with its receive times, for another thread to
    // read.
    TextSnapshot snapshot() const { return TextSnapshot(m_store, m_times); }
    qsizetype lineCount() const { return m_lines.lineCount(); }
    TextLine line(qsizetype number) const;
    // A displayed line's characters, without its line end.
    QString lineText(qsizetype line) const;

    // Replaces the whole text and gives the memory held for the old one and
    // for the undo history back. The caret goes to the end.
    void setText(QStringView text);
    // Received characters go after everything; a caret at the end with
    // nothing selected stays at the end. Bytes are characters of the text's
    // ByteCharset, one a byte, and are kept as they came. The lines the
    // chunk starts or fills get the time it came at: now, or receivedMs
    // (milliseconds since the epoch).
    void appendReceived(QStringView chunk);
    void appendReceivedBytes(QByteArrayView bytes);
    void appendReceived(QStringView chunk, qint64 receivedMs);
    void appendReceivedBytes(QByteArrayView bytes, qint64 receivedMs);

    // Whether received lines get their receive time: always, but for a
    // benchmark that weighs what the times cost. Stopping keeps the times
    // taken; replacing the text forgets them.
    bool isRecordingTimes() const { return m_recordingTimes; }
    void setRecordingTimes(bool record) { m_recordingTimes = record; }
    // The receive time of a displayed line, if it is the first line of a
    // received line (not one after a display break).
    std::optional<qint64> receiveTime(qsizetype line) const;
    const ReceiveTimes &receiveTimes() const { return m_times; }

    // What the text's single bytes stand for (Latin-1 unless set). The text
    // is kept, re-encoded; the undo history is forgotten.
    void setByteCharset(std::shared_ptr<const ByteCharset> charset);

    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

    // Where a position is shown; the caret's place tells which of the two
    // places of a display break it shows at.
    Place place(qsizetype position) const;
    Place caretPlace() const;
    qsizetype positionOf(const Place &at) const { return m_lines.lineStart(at.line) + at.column; }

    // Places the caret, selecting from anchor when one is given. A position
    // inside a CR LF goes to the start of the CR LF.
    void setCaret(qsizetype position, qsizetype anchor = -1);
    // Selects exactly [from, to), the caret at `to`.
    void select(qsizetype from, qsizetype to);
    void moveTo(const Place &to, MoveMode mode = MoveAnchor);
    // A page is pageLines lines.
    void move(Move move, MoveMode mode = MoveAnchor, int pageLines = 1);
    void selectAll();
    // Selects the stretch of the word rule (wordrule.h) under a place.
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

    // Where the caret stops on a line and where up and down keep it; the
    // plain geometry when none is given. The geometry outlives its use here.
    void setCaretGeometry(const CaretGeometry *geometry);
    // The longest displayed line, in characters.
    int longestLine() const { return m_lines.longestLine(); }

    // Bytes held for the text, its lines and their receive times.
    qsizetype memoryUsed() const {
        return m_store.allocatedBytes() + m_lines.allocatedBytes() + m_times.allocatedBytes();
    }

    // Every line break (CR LF, CR, LF) as CR LF, everything else as it is.
    static QString windowsLineEnds(QStringView text);

signals:
    // [position, position + length) is about to be taken out of the text.
    void aboutToRemove(qsizetype position, qsizetype length);
    // `removed` characters at position were replaced by `inserted` ones;
    // received text is `inserted` characters at the old end.
    void textChanged(qsizetype position, qsizetype removed, qsizetype inserted);
    // Told before textChanged, for what the view keeps of each line.
    void linesChanged(EditingModel::LinesChanged change, qsizetype line);
    // The caret or the selection moved other than by following received
    // text: the view brings the caret into sight.
    void caretMoved();

private:
    // How the caret is placed: at the end of a broken line rather than the
    // start of the next; keeping the x that up and down go to; following
    // the text (new or received), which is not the operator's move and is
    // not announced as one; where an edit leaves it, which goes on with the
    // edit's undo step.
    enum CaretFlag { Upstream = 0x1, KeepGoal = 0x2, Following = 0x4, ByEdit = 0x8 };
    Q_DECLARE_FLAGS(CaretFlags, CaretFlag)

    template <typename Chunk>
    void receive(Chunk chunk, qint64 receivedMs);
    void markLinesFrom(qsizetype position, qint64 receivedMs);
    void placeCaret(qsizetype position, MoveMode mode, CaretFlags flags = {});
    void endUndoStep();
    using Kind = UndoHistory::Kind;
    // An operator's edit: [from, to) becomes text, the caret goes to caret.
    void edit(Kind kind, qsizetype from, qsizetype to, QStringView text, qsizetype caret);
    void replaceSelection(Kind kind, QStringView text);
    bool deletesOnlySelection();
    // The text store's edit with everything that follows from it, the
    // receive times that go with text put back too; returns what was taken
    // out.
    struct Taken {
        TextStore text;
        ReceiveTimes times;
    };
    template <typename Text>
    Taken splice(qsizetype from, qsizetype removed, Text &&text, ReceiveTimes &&times = {});
    void swap(UndoHistory::Edit &edit);

    TextStore m_store;
    LineIndex m_lines;
    const std::unique_ptr<const CaretGeometry> m_plainGeometry;
    const CaretGeometry *m_geometry = m_plainGeometry.get();
    UndoHistory m_history;
    ReceiveTimes m_times;
    bool m_recordingTimes = true;

    qsizetype m_caret = 0;
    qsizetype m_anchor = 0;
    bool m_upstream = false;  // the caret shows at the end of a broken line
    qreal m_goalX = -1;       // where up and down keep the caret
    bool m_readOnly = false;
};
