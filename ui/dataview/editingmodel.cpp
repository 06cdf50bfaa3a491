#include "editingmodel.h"

#include "lineindex.h"
#include "wordrule.h"

#include <QDateTime>

#include <algorithm>
#include <cstring>
#include <functional>
#include <type_traits>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// Replacing more characters than this also hands the freed pages back.
constexpr qsizetype kTrimAfter = 1 << 20;

using LineBreaks = ReceiveTimes::LineBreaks;

LineBreaks lineBreaksIn(QStringView text) {
    return text.contains(QChar(LineEndScan::Cr)) || text.contains(QChar(LineEndScan::Lf))
               ? LineBreaks::Some
               : LineBreaks::None;
}

// Looks no further than the first line break.
LineBreaks lineBreaksIn(const TextStore &text) {
    bool found = false;
    text.visit(0, text.size(), [&found](const TextSpan &span) {
        if (span.isWide()) {
            found = lineBreaksIn(QStringView(span.chars(), span.size())) == LineBreaks::Some;
        } else {
            // CR and LF are the same bytes in every charset.
            found = std::memchr(span.bytes(), LineEndScan::Cr, size_t(span.size())) ||
                    std::memchr(span.bytes(), LineEndScan::Lf, size_t(span.size()));
        }
        return !found;
    });
    return found ? LineBreaks::Some : LineBreaks::None;
}

qint64 now() {
    return QDateTime::currentMSecsSinceEpoch();
}

// Every character a column one unit wide; a surrogate pair is one character.
class PlainGeometry final : public CaretGeometry {
public:
    PlainGeometry(const TextStore &text, const LineIndex &lines) : m_text(text), m_lines(lines) {}

    int nextColumn(qsizetype line, int column) const override {
        const qsizetype start = m_lines.lineStart(line);
        const int next = qMin(column + 1, m_lines.lineLength(line));
        return next < m_lines.lineLength(line) && m_text.at(start + next).isLowSurrogate()
                   ? next + 1
                   : next;
    }
    int previousColumn(qsizetype line, int column) const override {
        const int previous = qMax(0, column - 1);
        return previous > 0 && m_text.at(m_lines.lineStart(line) + previous).isLowSurrogate()
                   ? previous - 1
                   : previous;
    }
    qreal xForColumn(qsizetype, int column) const override { return column; }
    int columnAt(qsizetype line, qreal x) const override {
        return int(qBound<qreal>(0, qRound(x), m_lines.lineLength(line)));
    }

private:
    const TextStore &m_text;
    const LineIndex &m_lines;
};

}  // namespace

EditingModel::EditingModel(QObject *parent)
    : QObject(parent), m_plainGeometry(std::make_unique<PlainGeometry>(m_store, m_lines)) {}

EditingModel::~EditingModel() = default;

void EditingModel::visit(qsizetype position, qsizetype length, const SpanVisitor &visit) const {
    m_store.visit(position, length, std::cref(visit));
}

TextLine EditingModel::lineAt(qsizetype position) const {
    return line(m_lines.lineAt(qBound<qsizetype>(0, position, length())));
}

TextLine EditingModel::line(qsizetype number) const {
    return {number, m_lines.lineStart(number), m_lines.lineLength(number), m_lines.lineEnd(number)};
}

QString EditingModel::lineText(qsizetype line) const {
    return m_store.mid(m_lines.lineStart(line), m_lines.lineLength(line));
}

void EditingModel::setText(QStringView text) {
    const qsizetype oldLength = m_store.size();
    if (oldLength > 0)
        emit aboutToRemove(0, oldLength);
    const bool large = m_store.size() > kTrimAfter || m_history.bytes() > 2 * kTrimAfter;
    m_store.clear();
    m_lines.clear();
    emit linesChanged(LinesChanged::All, 0);
    m_history.clear();
    m_times.clear();
#ifdef __GLIBC__
    // The pieces are freed, but the allocator keeps most of them for later.
    if (large)
        malloc_trim(0);
#else
    Q_UNUSED(large);
#endif
    m_store.append(text);
    m_lines.append(text);
    placeCaret(m_store.size(), MoveAnchor, Following);
    emit textChanged(0, oldLength, m_store.size());
}

template <typename Chunk>
void EditingModel::receive(Chunk chunk, qint64 receivedMs) {
    if (chunk.isEmpty())
        return;
    const qsizetype oldLength = m_store.size();
    const bool caretAtEnd = m_caret == oldLength && m_anchor == oldLength;
    endUndoStep();
    // Only the open last line changes; the lines after it are new.
    emit linesChanged(LinesChanged::Only, m_lines.lineCount() - 1);
    m_store.append(chunk);
    m_lines.append(chunk);
    if (m_recordingTimes)
        markLinesFrom(oldLength, receivedMs);
    if (caretAtEnd)
        placeCaret(m_store.size(), MoveAnchor, {KeepGoal, Following});
    emit textChanged(oldLength, 0, chunk.size());
}

void EditingModel::appendReceived(QStringView chunk) {
    receive(chunk, m_recordingTimes ? now() : 0);
}

void EditingModel::appendReceivedBytes(QByteArrayView bytes) {
    receive(bytes, m_recordingTimes ? now() : 0);
}

void EditingModel::appendReceived(QStringView chunk, qint64 receivedMs) {
    receive(chunk, receivedMs);
}

void EditingModel::appendReceivedBytes(QByteArrayView bytes, qint64 receivedMs) {
    receive(bytes, receivedMs);
}

// Every line that starts at or after `from`, whose first character was
// just received, came at receivedMs. A line that starts at `from` was empty
// before the chunk; a time it has is of text the operator deleted, and the
// chunk's time takes its place.
void EditingModel::markLinesFrom(qsizetype from, qint64 receivedMs) {
    const qsizetype end = m_store.size();
    qsizetype line = m_lines.lineAt(from);
    qsizetype start = m_lines.lineStart(line);
    for (; line < m_lines.lineCount() && start < end; ++line) {
        if (start >= from && (line == 0 || m_lines.lineEnd(line - 1) != LineEnd::Break))
            m_times.append(start, receivedMs);
        start += m_lines.lineLength(line) + LineIndex::endLength(m_lines.lineEnd(line));
    }
}

std::optional<qint64> EditingModel::receiveTime(qsizetype line) const {
    if (m_times.isEmpty() || (line > 0 && m_lines.lineEnd(line - 1) == LineEnd::Break))
        return std::nullopt;
    return m_times.at(m_lines.lineStart(line));
}

void EditingModel::setCaretGeometry(const CaretGeometry *geometry) {
    m_geometry = geometry ? geometry : m_plainGeometry.get();
}

void EditingModel::setByteCharset(std::shared_ptr<const ByteCharset> charset) {
    m_history.clear();
    m_store.setCharset(std::move(charset));
}

EditingModel::Place EditingModel::place(qsizetype position) const {
    const qsizetype line = m_lines.lineAt(position);
    // A position inside a line end counts as the end of the line's text.
    return {line,
            int(qMin<qsizetype>(position - m_lines.lineStart(line), m_lines.lineLength(line)))};
}

EditingModel::Place EditingModel::caretPlace() const {
    const Place at = place(m_caret);
    if (m_upstream && at.line > 0 && m_caret == m_lines.lineStart(at.line) &&
        m_lines.lineEnd(at.line - 1) == LineEnd::Break)
        return {at.line - 1, m_lines.lineLength(at.line - 1)};
    return at;
}

void EditingModel::setCaret(qsizetype position, qsizetype anchor) {
    const qsizetype n = length();
    position = qBound<qsizetype>(0, position, n);
    anchor = anchor < 0 ? position : qBound<qsizetype>(0, anchor, n);
    const auto snap = [this](qsizetype at) { return positionOf(place(at)); };
    m_anchor = snap(anchor);
    placeCaret(snap(position), KeepAnchor);
}

void EditingModel::select(qsizetype from, qsizetype to) {
    const qsizetype n = length();
    m_anchor = qBound<qsizetype>(0, from, n);
    placeCaret(qBound<qsizetype>(0, to, n), KeepAnchor);
}

void EditingModel::moveTo(const Place &to, MoveMode mode) {
    const int length = m_lines.lineLength(to.line);
    const bool upstream =
        to.column > 0 && to.column == length && m_lines.lineEnd(to.line) == LineEnd::Break;
    placeCaret(positionOf(to), mode, upstream ? Upstream : CaretFlags());
}

void EditingModel::selectAll() {
    m_anchor = 0;
    placeCaret(length(), KeepAnchor);
}

void EditingModel::selectWordAt(const Place &at) {
    const WordRule::Span word = WordRule::spanAt(lineText(at.line), at.column);
    m_anchor = m_lines.lineStart(at.line) + word.from;
    moveTo(Place{at.line, word.to}, KeepAnchor);
}

void EditingModel::move(Move move, MoveMode mode, int pageLines) {
    // Without shift, left and right first give up a selection at its edge.
    if (mode == MoveAnchor && hasSelection() &&
        (move == Move::NextChar || move == Move::PreviousChar)) {
        placeCaret(move == Move::NextChar ? selectionEnd() : selectionStart(), MoveAnchor);
        return;
    }
    Place at = caretPlace();
    const qsizetype lastLine = m_lines.lineCount() - 1;
    const int length = m_lines.lineLength(at.line);
    switch (move) {
        case Move::NextChar:
        case Move::NextWord:
            if (at.column < length) {
                at.column = move == Move::NextChar
                                ? m_geometry->nextColumn(at.line, at.column)
                                : WordRule::nextWordStart(lineText(at.line), at.column);
            } else if (at.line < lastLine) {
                at = {at.line + 1, 0};
            }
            // Stepping through a display break is one step, not two.
            if (at.column == length && at.line < lastLine &&
                m_lines.lineEnd(at.line) == LineEnd::Break)
                at = {at.line + 1, 0};
            break;
        case Move::PreviousChar:
        case Move::PreviousWord:
            if (at.column == 0 && at.line > 0) {
                at = {at.line - 1, m_lines.lineLength(at.line - 1)};
                if (m_lines.lineEnd(at.line) != LineEnd::Break)
                    break;
            }
            if (at.column > 0) {
                at.column = move == Move::PreviousChar
                                ? m_geometry->previousColumn(at.line, at.column)
                                : WordRule::previousWordStart(lineText(at.line), at.column);
            }
            break;
        case Move::NextLine:
        case Move::PreviousLine:
        case Move::NextPage:
        case Move::PreviousPage: {
            const bool page = move == Move::NextPage || move == Move::PreviousPage;
            const bool down = move == Move::NextLine || move == Move::NextPage;
            const qsizetype step = page ? qMax(1, pageLines) : 1;
            if (m_goalX < 0)
                m_goalX = m_geometry->xForColumn(at.line, at.column);
            if (down && at.line == lastLine) {
                at.column = length;
            } else if (!down && at.line == 0) {
                at.column = 0;
            } else {
                at.line = qBound<qsizetype>(0, at.line + (down ? step : -step), lastLine);
                at.column = m_geometry->columnAt(at.line, m_goalX);
            }
            const int lineLength = m_lines.lineLength(at.line);
            const bool upstream = at.column > 0 && at.column == lineLength &&
                                  m_lines.lineEnd(at.line) == LineEnd::Break;
            placeCaret(positionOf(at), mode,
                       upstream ? CaretFlags{Upstream, KeepGoal} : CaretFlags(KeepGoal));
            return;
        }
        case Move::StartOfLine:
            at.column = 0;
            break;
        case Move::EndOfLine:
            at.column = length;
            break;
        case Move::StartOfText:
            at = {0, 0};
            break;
        case Move::EndOfText:
            at = {lastLine, m_lines.lineLength(lastLine)};
            break;
    }
    moveTo(at, mode);
}

void EditingModel::type(QStringView text) {
    if (!text.isEmpty())
        replaceSelection(Kind::Typing, windowsLineEnds(text));
}

void EditingModel::paste(QStringView text) {
    if (!text.isEmpty())
        replaceSelection(Kind::Other, windowsLineEnds(text));
}

void EditingModel::removeSelection() {
    if (hasSelection())
        replaceSelection(Kind::Other, {});
}

void EditingModel::deleteBackward() {
    if (deletesOnlySelection())
        return;
    const Place at = caretPlace();
    qsizetype from = m_caret;
    if (at.column > 0) {
        from = previousCharacter(m_caret);
    } else if (at.line > 0) {
        const LineEnd end = m_lines.lineEnd(at.line - 1);
        if (end == LineEnd::Break) {
            // Nothing to delete: the caret steps over to the line above.
            placeCaret(m_caret, MoveAnchor, Upstream);
            return;
        }
        from = m_caret - LineIndex::endLength(end);
    }
    edit(Kind::Backspace, from, m_caret, {}, from);
}

void EditingModel::deleteForward() {
    if (deletesOnlySelection())
        return;
    const Place at = caretPlace();
    qsizetype to = m_caret;
    if (at.column < m_lines.lineLength(at.line)) {
        to = nextCharacter(m_caret);
    } else {
        // A display break is stepped over, a line break deleted whole.
        to = m_caret + LineIndex::endLength(m_lines.lineEnd(at.line));
    }
    if (to == m_caret) {
        // Only stepped over a display break (or nothing after the caret):
        // a move, not an edit.
        placeCaret(m_caret, MoveAnchor);
        return;
    }
    edit(Kind::Delete, m_caret, to, {}, m_caret);
}

// Backspace and Delete take a selection away rather than a character; true
// when that is all they do (read-only, nothing at all).
bool EditingModel::deletesOnlySelection() {
    if (m_readOnly)
        return true;
    if (!hasSelection())
        return false;
    removeSelection();
    return true;
}

void EditingModel::deleteWordBackward() {
    if (m_readOnly)
        return;
    if (!hasSelection())
        move(Move::PreviousWord, KeepAnchor);
    removeSelection();
}

void EditingModel::deleteWordForward() {
    if (m_readOnly)
        return;
    if (!hasSelection())
        move(Move::NextWord, KeepAnchor);
    removeSelection();
}

void EditingModel::replace(qsizetype from, qsizetype to, QStringView text) {
    if (m_readOnly)
        return;
    from = qBound<qsizetype>(0, from, length());
    to = qBound<qsizetype>(from, to, length());
    if (from == to && text.isEmpty())
        return;
    const QString inserted = windowsLineEnds(text);
    edit(Kind::Other, from, to, inserted, from + inserted.size());
}

void EditingModel::undo() {
    if (!canUndo())
        return;
    UndoHistory::Step step = m_history.takeUndo();
    for (auto edit = step.edits.rbegin(); edit != step.edits.rend(); ++edit) swap(*edit);
    const qsizetype caret = step.caretBefore;
    const qsizetype anchor = step.anchorBefore;
    m_history.pushRedo(std::move(step));
    m_anchor = qBound<qsizetype>(0, anchor, length());
    placeCaret(qBound<qsizetype>(0, caret, length()), KeepAnchor);
}

void EditingModel::redo() {
    if (!canRedo())
        return;
    UndoHistory::Step step = m_history.takeRedo();
    for (UndoHistory::Edit &edit : step.edits) swap(edit);
    const UndoHistory::Edit &last = step.edits.back();
    const qsizetype caret = last.position + last.length;
    m_history.pushUndo(std::move(step));
    placeCaret(caret, MoveAnchor);
}

QString EditingModel::windowsLineEnds(QStringView text) {
    QString out;
    out.reserve(text.size());
    LineEndScan scan;
    for (const QChar ch : text) {
        switch (scan.next(ch.unicode())) {
            case LineEndScan::Char::End:
                out += u"\r\n";
                break;
            case LineEndScan::Char::EndRest:
                break;
            case LineEndScan::Char::Text:
                out += ch;
                break;
        }
    }
    return out;
}

// The one place the caret moves: every move but up and down forgets the
// column those keep to, and every move but an edit's own ends the undo step
// under way.
void EditingModel::placeCaret(qsizetype position, MoveMode mode, CaretFlags flags) {
    m_caret = position;
    m_upstream = flags.testFlag(Upstream);
    if (mode == MoveAnchor)
        m_anchor = position;
    if (!flags.testFlag(KeepGoal))
        m_goalX = -1;
    if (!flags.testFlag(ByEdit))
        endUndoStep();
    if (!flags.testFlag(Following))
        emit caretMoved();
}

// The one place that ends an undo step of typing, Backspace or Delete. It
// ends where the caret moves other than by the step's own edits (the
// operator moved on) and where a chunk arrives; an edit of another kind
// starts a step of its own (UndoHistory::record()).
void EditingModel::endUndoStep() {
    m_history.closeGroup();
}

template <typename Text>
EditingModel::Taken EditingModel::splice(qsizetype from, qsizetype removed, Text &&text,
                                         ReceiveTimes &&times) {
    // Lines before the one holding the character before the edit stay as
    // they are, shaped or not.
    const qsizetype first = from == 0 ? 0 : m_lines.lineAt(from - 1);
    const qsizetype inserted = text.size();
    if (removed > 0)
        emit aboutToRemove(from, removed);
    Taken taken;
    taken.text = m_store.take(from, removed);
    // Receive times move by where line breaks are, looked for only when
    // there are times to move.
    const bool timed = !m_times.isEmpty() || !times.isEmpty();
    if (timed)
        taken.times = m_times.take(from, removed, lineBreaksIn(taken.text));
    const LineBreaks breaks = timed ? lineBreaksIn(text) : LineBreaks::None;
    if constexpr (std::is_same_v<std::decay_t<Text>, TextStore>)
        m_store.put(from, std::move(text));
    else
        m_store.insert(from, text);
    if (timed)
        m_times.insert(from, inserted, breaks, std::move(times));
    m_lines.replace(m_store, from, removed, inserted);
    emit linesChanged(LinesChanged::From, first);
    emit textChanged(from, removed, inserted);
    return taken;
}

void EditingModel::edit(Kind kind, qsizetype from, qsizetype to, QStringView text,
                        qsizetype caret) {
    if (from < to || !text.isEmpty()) {
        const qsizetype caretBefore = m_caret;
        const qsizetype anchorBefore = m_anchor;
        Taken removed = splice(from, to - from, text);
        // While there are receive times, each edit is undone on its own.
        const UndoHistory::Grouping grouping =
            m_times.isEmpty() ? UndoHistory::Grouping::Join : UndoHistory::Grouping::Apart;
        m_history.record(kind, from, std::move(removed.text), std::move(removed.times), text.size(),
                         caretBefore, anchorBefore, grouping);
    }
    placeCaret(caret, MoveAnchor, ByEdit);
}

// Puts back what the edit took out in place of what it put in; done again,
// it puts the edit back.
void EditingModel::swap(UndoHistory::Edit &edit) {
    TextStore held = std::move(edit.held);
    const qsizetype length = held.size();
    Taken taken = splice(edit.position, edit.length, std::move(held), std::move(edit.heldTimes));
    edit.held = std::move(taken.text);
    edit.heldTimes = std::move(taken.times);
    edit.length = length;
}

void EditingModel::replaceSelection(Kind kind, QStringView text) {
    if (m_readOnly)
        return;
    const qsizetype from = selectionStart();
    edit(kind, from, selectionEnd(), text, from + text.size());
}
