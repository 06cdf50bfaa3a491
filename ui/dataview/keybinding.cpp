#include "keybinding.h"

#include <QKeyEvent>

namespace {

using C = KeyBinding::Command;
using K = QKeySequence;
using Move = EditingModel::Move;
using States = KeyBinding::ViewStates;

// Typed text: printable characters, not a shortcut. AltGr arrives as
// Ctrl+Alt on some systems and still types.
bool isTyping(const QKeyEvent *event, States) {
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if ((modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier))
        return false;
    if (modifiers & Qt::MetaModifier)
        return false;
    for (const QChar ch : text) {
        if (!ch.isPrint() && !ch.isSurrogate())
            return false;
    }
    return true;
}

// Backspace with Shift too, whatever the desktop's own key for it.
bool isPlainBackspace(const QKeyEvent *event, States) {
    return event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier);
}

// Ctrl+Y redoes too, also where the desktop's own keys for redo are others.
bool isCtrlY(const QKeyEvent *event, States) {
    return event->key() == Qt::Key_Y &&
           (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
}

// Exactly this key with these modifiers, from the keypad or not.
bool pressed(const QKeyEvent *event, QKeyCombination key) {
    return (event->modifiers() & ~Qt::KeypadModifier) == key.keyboardModifiers() &&
           event->key() == key.key();
}

bool isHexViewKey(const QKeyEvent *event, States) {
    return pressed(event, KeyBinding::HexViewKey);
}

bool isReceiveTimesKey(const QKeyEvent *event, States) {
    return pressed(event, KeyBinding::ReceiveTimesKey);
}

// Tab is typed into the view unless it is meant to move on.
bool isTypedTab(const QKeyEvent *event, States states) {
    return event->key() == Qt::Key_Tab && !states.testFlag(KeyBinding::TabChangesFocus) &&
           !(event->modifiers() & ~Qt::KeypadModifier);
}

constexpr KeyBinding reads(K::StandardKey key, C command) {
    return {key, nullptr, KeyBinding::Access::Reads, command};
}

constexpr KeyBinding reads(KeyBinding::Test test, C command) {
    return {K::UnknownKey, test, KeyBinding::Access::Reads, command};
}

constexpr KeyBinding moves(K::StandardKey key, Move move,
                           EditingModel::MoveMode mode = EditingModel::MoveAnchor) {
    return {key, nullptr, KeyBinding::Access::Reads, C::Move, move, mode};
}

constexpr KeyBinding selects(K::StandardKey key, Move move) {
    return moves(key, move, EditingModel::KeepAnchor);
}

constexpr KeyBinding edits(K::StandardKey key, C command) {
    return {key, nullptr, KeyBinding::Access::Edits, command};
}

constexpr KeyBinding edits(KeyBinding::Test test, C command) {
    return {K::UnknownKey, test, KeyBinding::Access::Edits, command};
}

// As QKeyEvent::matches() has it: the keypad and group switch modifiers
// make no difference.
bool matches(const QKeyEvent *event, K::StandardKey key, KeyBinding::StandardKeys standardKeys) {
    const QKeyCombination pressed(
        event->modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier),
        Qt::Key(event->key()));
    return standardKeys(key).contains(QKeySequence(pressed));
}

}  // namespace

const KeyBinding *KeyBinding::find(const QKeyEvent *event, ViewStates states,
                                   StandardKeys standardKeys) {
    static const KeyBinding bindings[] = {
        reads(K::SelectAll, C::SelectAll),
        reads(K::Copy, C::Copy),
        reads(K::Find, C::Find),
        reads(K::FindNext, C::FindNext),
        reads(K::FindPrevious, C::FindPrevious),
        reads(isHexViewKey, C::ToggleHexView),
        reads(isReceiveTimesKey, C::ToggleReceiveTimes),
        moves(K::MoveToNextChar, Move::NextChar),
        selects(K::SelectNextChar, Move::NextChar),
        moves(K::MoveToPreviousChar, Move::PreviousChar),
        selects(K::SelectPreviousChar, Move::PreviousChar),
        moves(K::MoveToNextWord, Move::NextWord),
        selects(K::SelectNextWord, Move::NextWord),
        moves(K::MoveToPreviousWord, Move::PreviousWord),
        selects(K::SelectPreviousWord, Move::PreviousWord),
        moves(K::MoveToNextLine, Move::NextLine),
        selects(K::SelectNextLine, Move::NextLine),
        moves(K::MoveToPreviousLine, Move::PreviousLine),
        selects(K::SelectPreviousLine, Move::PreviousLine),
        moves(K::MoveToNextPage, Move::NextPage),
        selects(K::SelectNextPage, Move::NextPage),
        moves(K::MoveToPreviousPage, Move::PreviousPage),
        selects(K::SelectPreviousPage, Move::PreviousPage),
        moves(K::MoveToStartOfLine, Move::StartOfLine),
        selects(K::SelectStartOfLine, Move::StartOfLine),
        moves(K::MoveToStartOfBlock, Move::StartOfLine),
        selects(K::SelectStartOfBlock, Move::StartOfLine),
        moves(K::MoveToEndOfLine, Move::EndOfLine),
        selects(K::SelectEndOfLine, Move::EndOfLine),
        moves(K::MoveToEndOfBlock, Move::EndOfLine),
        selects(K::SelectEndOfBlock, Move::EndOfLine),
        moves(K::MoveToStartOfDocument, Move::StartOfText),
        selects(K::SelectStartOfDocument, Move::StartOfText),
        moves(K::MoveToEndOfDocument, Move::EndOfText),
        selects(K::SelectEndOfDocument, Move::EndOfText),
        edits(K::Undo, C::Undo),
        edits(K::Redo, C::Redo),
        edits(isCtrlY, C::Redo),
        edits(K::Cut, C::Cut),
        edits(K::Paste, C::Paste),
        edits(K::DeleteStartOfWord, C::DeleteWordBackward),
        edits(K::DeleteEndOfWord, C::DeleteWordForward),
        edits(K::Backspace, C::Backspace),
        edits(isPlainBackspace, C::Backspace),
        edits(K::Delete, C::Delete),
        edits(K::InsertParagraphSeparator, C::Enter),
        edits(K::InsertLineSeparator, C::Enter),
        edits(isTypedTab, C::Tab),
        edits(isTyping, C::Type),
    };
    for (const KeyBinding &binding : bindings) {
        const bool bound =
            binding.test ? binding.test(event, states) : matches(event, binding.key, standardKeys);
        if (bound)
            return binding.access == Access::Edits && states.testFlag(ReadOnly) ? nullptr
                                                                                : &binding;
    }
    return nullptr;
}
