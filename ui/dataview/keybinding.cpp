#include "keybinding.h"

#include <QKeyEvent>

namespace {

using Move = EditingModel::Move;

// Typed text: printable characters, not a shortcut. AltGr arrives as
// Ctrl+Alt on some systems and still types.
bool isTyping(const QKeyEvent *event, bool) {
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

bool isBackspace(const QKeyEvent *event, bool) {
    return event->matches(QKeySequence::Backspace) ||
           (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier));
}

bool isEnter(const QKeyEvent *event, bool) {
    return event->matches(QKeySequence::InsertParagraphSeparator) ||
           event->matches(QKeySequence::InsertLineSeparator);
}

// Ctrl+Y redoes too, also where the desktop's own keys for redo are others.
bool isCtrlY(const QKeyEvent *event, bool) {
    return event->key() == Qt::Key_Y &&
           (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
}

// Tab is typed into the view unless it is meant to move on.
bool isTypedTab(const QKeyEvent *event, bool tabChangesFocus) {
    return event->key() == Qt::Key_Tab && !tabChangesFocus &&
           !(event->modifiers() & ~Qt::KeypadModifier);
}

}  // namespace

const KeyBinding *KeyBinding::find(const QKeyEvent *event, bool readOnly, bool tabChangesFocus) {
    using C = KeyBinding::Command;
    using K = QKeySequence;
    static const KeyBinding bindings[] = {
        {K::SelectAll, nullptr, false, C::SelectAll},
        {K::Copy, nullptr, false, C::Copy},
        {K::Find, nullptr, false, C::Find},
        {K::FindNext, nullptr, false, C::FindNext},
        {K::FindPrevious, nullptr, false, C::FindPrevious},
        {K::MoveToNextChar, nullptr, false, C::Move, Move::NextChar, false},
        {K::SelectNextChar, nullptr, false, C::Move, Move::NextChar, true},
        {K::MoveToPreviousChar, nullptr, false, C::Move, Move::PreviousChar, false},
        {K::SelectPreviousChar, nullptr, false, C::Move, Move::PreviousChar, true},
        {K::MoveToNextWord, nullptr, false, C::Move, Move::NextWord, false},
        {K::SelectNextWord, nullptr, false, C::Move, Move::NextWord, true},
        {K::MoveToPreviousWord, nullptr, false, C::Move, Move::PreviousWord, false},
        {K::SelectPreviousWord, nullptr, false, C::Move, Move::PreviousWord, true},
        {K::MoveToNextLine, nullptr, false, C::Move, Move::NextLine, false},
        {K::SelectNextLine, nullptr, false, C::Move, Move::NextLine, true},
        {K::MoveToPreviousLine, nullptr, false, C::Move, Move::PreviousLine, false},
        {K::SelectPreviousLine, nullptr, false, C::Move, Move::PreviousLine, true},
        {K::MoveToNextPage, nullptr, false, C::Move, Move::NextPage, false},
        {K::SelectNextPage, nullptr, false, C::Move, Move::NextPage, true},
        {K::MoveToPreviousPage, nullptr, false, C::Move, Move::PreviousPage, false},
        {K::SelectPreviousPage, nullptr, false, C::Move, Move::PreviousPage, true},
        {K::MoveToStartOfLine, nullptr, false, C::Move, Move::StartOfLine, false},
        {K::SelectStartOfLine, nullptr, false, C::Move, Move::StartOfLine, true},
        {K::MoveToStartOfBlock, nullptr, false, C::Move, Move::StartOfLine, false},
        {K::SelectStartOfBlock, nullptr, false, C::Move, Move::StartOfLine, true},
        {K::MoveToEndOfLine, nullptr, false, C::Move, Move::EndOfLine, false},
        {K::SelectEndOfLine, nullptr, false, C::Move, Move::EndOfLine, true},
        {K::MoveToEndOfBlock, nullptr, false, C::Move, Move::EndOfLine, false},
        {K::SelectEndOfBlock, nullptr, false, C::Move, Move::EndOfLine, true},
        {K::MoveToStartOfDocument, nullptr, false, C::Move, Move::StartOfText, false},
        {K::SelectStartOfDocument, nullptr, false, C::Move, Move::StartOfText, true},
        {K::MoveToEndOfDocument, nullptr, false, C::Move, Move::EndOfText, false},
        {K::SelectEndOfDocument, nullptr, false, C::Move, Move::EndOfText, true},
        {K::Undo, nullptr, true, C::Undo},
        {K::Redo, nullptr, true, C::Redo},
        {K::UnknownKey, isCtrlY, true, C::Redo},
        {K::Cut, nullptr, true, C::Cut},
        {K::Paste, nullptr, true, C::Paste},
        {K::DeleteStartOfWord, nullptr, true, C::DeleteWordBackward},
        {K::DeleteEndOfWord, nullptr, true, C::DeleteWordForward},
        {K::UnknownKey, isBackspace, true, C::Backspace},
        {K::Delete, nullptr, true, C::Delete},
        {K::UnknownKey, isEnter, true, C::Enter},
        {K::UnknownKey, isTypedTab, true, C::Tab},
        {K::UnknownKey, isTyping, true, C::Type},
    };
    for (const KeyBinding &binding : bindings) {
        if (binding.test ? binding.test(event, tabChangesFocus) : event->matches(binding.key))
            return binding.edits && readOnly ? nullptr : &binding;
    }
    return nullptr;
}
