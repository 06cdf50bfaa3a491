#pragma once

#include "editingmodel.h"

#include <QKeySequence>

class QKeyEvent;

// What a key does in the DATA view. The view runs the binding find() gives
// and claims from the window's shortcuts exactly the keys that have one, so
// that what it claims and what it handles come from one table: no window
// shortcut takes its keys, and no key is claimed and then ignored.
struct KeyBinding {
    enum class Command {
        Move,
        SelectAll,
        Copy,
        Find,
        FindNext,
        FindPrevious,
        Undo,
        Redo,
        Cut,
        Paste,
        DeleteWordBackward,
        DeleteWordForward,
        Backspace,
        Delete,
        Enter,
        Tab,
        Type
    };

    QKeySequence::StandardKey key;
    bool (*test)(const QKeyEvent *, bool tabChangesFocus) = nullptr;  // instead of a key
    bool edits = false;                                               // refused while read-only
    Command command = Command::Move;
    EditingModel::Move move = EditingModel::Move::NextChar;
    bool select = false;

    // The binding that handles a key, or none: then the key is not the
    // view's. Edits have none while the view is read-only.
    static const KeyBinding *find(const QKeyEvent *event, bool readOnly, bool tabChangesFocus);
};
