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
        Type,
        ToggleHexView,
        ToggleReceiveTimes
    };
    // Edits are refused while the view is read-only.
    enum class Access { Reads, Edits };
    // What the view is like when the key comes.
    enum ViewState { ReadOnly = 0x1, TabChangesFocus = 0x2 };
    Q_DECLARE_FLAGS(ViewStates, ViewState)

    // The view's own switches, keys that no standard key of a desktop
    // binds to anything the view does: the hex view, the receive times.
    static constexpr QKeyCombination HexViewKey{Qt::ControlModifier, Qt::Key_H};
    static constexpr QKeyCombination ReceiveTimesKey{Qt::ControlModifier, Qt::Key_T};

    using Test = bool (*)(const QKeyEvent *event, ViewStates states);
    // The key sequences of a standard key: the desktop's own unless a test
    // gives others.
    using StandardKeys = QList<QKeySequence> (*)(QKeySequence::StandardKey key);

    QKeySequence::StandardKey key = QKeySequence::UnknownKey;
    Test test = nullptr;  // instead of a key
    Access access = Access::Reads;
    Command command = Command::Move;
    EditingModel::Move move = EditingModel::Move::NextChar;
    EditingModel::MoveMode mode = EditingModel::MoveAnchor;

    // The binding that handles a key, or none: then the key is not the
    // view's. Edits have none while the view is read-only.
    static const KeyBinding *find(const QKeyEvent *event, ViewStates states,
                                  StandardKeys standardKeys = &QKeySequence::keyBindings);
};

Q_DECLARE_OPERATORS_FOR_FLAGS(KeyBinding::ViewStates)
