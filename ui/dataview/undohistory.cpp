#include "undohistory.h"

void UndoHistory::record(Kind kind, qsizetype position, TextStore &&removed,
                         ReceiveTimes &&removedTimes, qsizetype inserted, qsizetype caretBefore,
                         qsizetype anchorBefore, Grouping grouping) {
    if (removed.isEmpty() && inserted == 0)
        return;
    // A new edit leaves nothing to redo.
    for (const Step &step : m_redo) m_bytes -= step.bytes;
    std::deque<Step>().swap(m_redo);

    if (m_open && kind == m_openKind && !m_undo.empty()) {
        Step &step = m_undo.back();
        Edit &last = step.edits.back();
        // An edit that goes on from the one before: typing after it, a
        // Backspace before it, a Delete at its place.
        const bool typing =
            kind == Kind::Typing && removed.isEmpty() && position == last.position + last.length;
        const bool backspace = kind == Kind::Backspace && inserted == 0 && last.length == 0 &&
                               position + removed.size() == last.position;
        const bool deleting =
            kind == Kind::Delete && inserted == 0 && last.length == 0 && position == last.position;
        const bool grouped = typing || backspace || deleting;
        if (grouped &&
            (grouping == Grouping::Apart || !removedTimes.isEmpty() || !last.heldTimes.isEmpty())) {
            // The same step, an edit of its own.
            step.edits.push_back({position, inserted, std::move(removed), std::move(removedTimes)});
        } else if (typing) {
            last.length += inserted;
        } else if (backspace) {
            last.held.put(0, std::move(removed));
            last.position = position;
        } else if (deleting) {
            last.held.put(last.held.size(), std::move(removed));
        }
        if (grouped) {
            m_bytes -= step.bytes;
            step.bytes = bytesOf(step);
            m_bytes += step.bytes;
            trim();
            return;
        }
    }

    Step step;
    step.edits.push_back({position, inserted, std::move(removed), std::move(removedTimes)});
    step.caretBefore = caretBefore;
    step.anchorBefore = anchorBefore;
    push(m_undo, std::move(step));
    m_open = kind != Kind::Other;
    m_openKind = kind;
}

UndoHistory::Step UndoHistory::takeUndo() {
    Q_ASSERT(canUndo());
    return take(m_undo);
}

UndoHistory::Step UndoHistory::takeRedo() {
    Q_ASSERT(canRedo());
    return take(m_redo);
}

void UndoHistory::pushRedo(Step &&step) {
    push(m_redo, std::move(step));
}

void UndoHistory::pushUndo(Step &&step) {
    push(m_undo, std::move(step));
}

UndoHistory::Step UndoHistory::take(std::deque<Step> &from) {
    m_open = false;
    Step step = std::move(from.back());
    from.pop_back();
    m_bytes -= step.bytes;
    return step;
}

void UndoHistory::push(std::deque<Step> &onto, Step &&step) {
    step.bytes = bytesOf(step);
    m_bytes += step.bytes;
    onto.push_back(std::move(step));
    trim();
}

void UndoHistory::clear() {
    std::deque<Step>().swap(m_undo);
    std::deque<Step>().swap(m_redo);
    m_bytes = 0;
    m_open = false;
}

qsizetype UndoHistory::bytesOf(const Step &step) {
    qsizetype bytes = qsizetype(step.edits.capacity() * sizeof(Edit));
    for (const Edit &edit : step.edits)
        bytes += edit.held.allocatedBytes() + edit.heldTimes.allocatedBytes();
    return bytes;
}

void UndoHistory::trim() {
    while (steps() > MaxSteps || m_bytes > MaxBytes) {
        std::deque<Step> *from = m_undo.size() > 1   ? &m_undo
                                 : m_redo.size() > 1 ? &m_redo
                                                     : nullptr;
        if (!from)
            return;
        m_bytes -= from->front().bytes;
        from->pop_front();
    }
}
