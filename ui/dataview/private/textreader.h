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

#include "lineindex.h"
#include "textstore.h"

#include <QString>

#include <functional>

// One displayed line of the DATA view's text.
struct TextLine {
    qsizetype number = 0;
    qsizetype start = 0;
    int length = 0;  // characters shown, without the line end
    LineEnd end = LineEnd::None;

    // Where the line's end begins, and where the next line starts.
    qsizetype shownEnd() const { return start + length; }
    qsizetype next() const { return start + length + LineIndex::endLength(end); }
};

// What find and assistive technology read of the DATA view: the text, its
// displayed lines, the caret and the selection, and nothing they could
// change. EditingModel is the implementation; a reader never reaches the
// text store, the line index or the shaped lines behind it.
class TextReader {
public:
    using SpanVisitor = std::function<bool(const TextSpan &)>;

    virtual ~TextReader() = default;

    virtual qsizetype length() const = 0;
    // The characters of [position, position + length), as received.
    virtual QString mid(qsizetype position, qsizetype length) const = 0;
    // The same characters as they are held, span after span, until visit
    // returns false: a search reads hundreds of megabytes without copying.
    virtual void visit(qsizetype position, qsizetype length, const SpanVisitor &visit) const = 0;
    // The displayed line holding the character at position, or whose line
    // end it is; the text's length gives the last line.
    virtual TextLine lineAt(qsizetype position) const = 0;
    // A selection runs between the anchor and the caret.
    virtual qsizetype caret() const = 0;
    virtual qsizetype anchor() const = 0;

    bool hasSelection() const { return caret() != anchor(); }
    qsizetype selectionStart() const { return qMin(caret(), anchor()); }
    qsizetype selectionEnd() const { return qMax(caret(), anchor()); }
    QString selectedText() const {
        return mid(selectionStart(), selectionEnd() - selectionStart());
    }

    // The position one character after (before) position, a surrogate pair
    // being one character; position itself at the end (the start).
    qsizetype nextCharacter(qsizetype position) const;
    qsizetype previousCharacter(qsizetype position) const;
};
