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

#include <QStringView>

// What a word is in the DATA view, one rule for the double click, for
// Ctrl+Left and Ctrl+Right (and the word deletes that follow them) and for
// assistive technology: Unicode's word boundaries (QTextBoundaryFinder,
// UAX #29), within one displayed line. A stretch between two boundaries is
// a word when it holds letters or digits, so "don't", "3.14", "1,000.5" and
// "foo_bar" are one word each, "12:30:45" is three, and a run of spaces, a
// punctuation mark, a control character or an emoji is a stretch of its own.
//
// Each call finds the boundaries of the line it is given: a few thousand
// characters at most, once a key press or a click.
namespace WordRule {

struct Span {
    int from = 0;
    int to = 0;
    bool isWord = false;
};

// The stretch between boundaries that holds the character at column (the
// last one at the line's end); empty for an empty line.
Span spanAt(QStringView line, int column);
// Where the next word after column begins, or the line's end.
int nextWordStart(QStringView line, int column);
// Where the word before column begins, or the line's start.
int previousWordStart(QStringView line, int column);

}  // namespace WordRule
