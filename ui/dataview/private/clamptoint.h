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

#include <algorithm>
#include <climits>

// An offset or a row for Qt's interfaces that count in int (accessibility,
// scroll bars): below 0 it is 0, past INT_MAX everything is at INT_MAX.
inline int clampToInt(qsizetype value) {
    return int(std::clamp<qsizetype>(value, 0, INT_MAX));
}
