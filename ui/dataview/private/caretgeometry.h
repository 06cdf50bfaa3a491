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

#include <QtGlobal>

// Where the caret may stop on a displayed line and where it stands across
// it: what the shaped lines know and the editing model does not. The model
// asks it for left, right, up and down; the view's text presentation
// answers from the lines it shaped. Without one, every character is a
// column one unit wide, and a surrogate pair one character.
class CaretGeometry {
public:
    virtual ~CaretGeometry() = default;

    virtual int nextColumn(qsizetype line, int column) const = 0;
    virtual int previousColumn(qsizetype line, int column) const = 0;
    virtual qreal xForColumn(qsizetype line, int column) const = 0;
    virtual int columnAt(qsizetype line, qreal x) const = 0;
};
