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

#include "receivetimes.h"
#include "textstore.h"

#include <deque>
#include <vector>

// The operator's edits of the DATA view, to undo and redo them. Received
// text is never in it: reception only appends, so the places of earlier
// edits stay valid whatever arrives after them.
//
// A step is one or more edits, each the characters it put in (counted) and
// the characters it took out (held, moved over from the text store rather
// than copied) with the receive times that went with them. Undoing a step
// swaps each edit back, last first; the same swap, first to last, redoes
// it. Edits of a step are joined into one only while no receive time is
// about (Grouping): a time at an edit's edge moves by where line breaks
// are, which one joined edit would not tell apart.
//
// Bounds: MaxSteps steps and MaxBytes bytes of held text. When either is
// passed, the oldest steps go first, then the redo steps furthest away; the
// step that undo or redo acts on next always stays, whatever its size, so a
// select-all-and-delete of everything the view holds can still be undone.
class UndoHistory {
public:
    static constexpr int MaxSteps = 1000;
    static constexpr qsizetype MaxBytes = qsizetype(64) << 20;

    // Typed text groups with the typing just before it, Backspace with the
    // Backspace before, Delete with the Delete before; other edits stand
    // alone.
    enum class Kind { Typing, Backspace, Delete, Other };

    // Whether an edit may be joined with the one before it in its step.
    enum class Grouping { Join, Apart };

    struct Edit {
        qsizetype position = 0;
        qsizetype length = 0;    // characters the edit put in at position
        TextStore held;          // characters the edit took out there
        ReceiveTimes heldTimes;  // and their receive times
    };
    struct Step {
        std::vector<Edit> edits;
        qsizetype caretBefore = 0;
        qsizetype anchorBefore = 0;
        qsizetype bytes = 0;  // held by its edits
    };

    // An edit put `inserted` characters at position in place of `removed`,
    // which took `removedTimes` with it.
    void record(Kind kind, qsizetype position, TextStore &&removed, ReceiveTimes &&removedTimes,
                qsizetype inserted, qsizetype caretBefore, qsizetype anchorBefore,
                Grouping grouping);
    // The next edit starts a step of its own.
    void closeGroup() { m_open = false; }

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    // The step to undo (redo) next, handed out to be swapped; given back
    // with pushRedo() (pushUndo()) once it is.
    Step takeUndo();
    Step takeRedo();
    void pushRedo(Step &&step);
    void pushUndo(Step &&step);

    // Forgets every step and gives their memory back.
    void clear();

    int steps() const { return int(m_undo.size() + m_redo.size()); }
    int undoSteps() const { return int(m_undo.size()); }
    qsizetype bytes() const { return m_bytes; }

    static qsizetype bytesOf(const Step &step);

private:
    Step take(std::deque<Step> &from);
    void push(std::deque<Step> &onto, Step &&step);
    void trim();

    std::deque<Step> m_undo;  // the oldest first
    std::deque<Step> m_redo;  // the next to redo last
    Kind m_openKind = Kind::Other;
    bool m_open = false;
    qsizetype m_bytes = 0;
};
