#pragma once

#include <QtGlobal>

#include <algorithm>
#include <climits>

// An offset into the text for Qt's accessibility interfaces, which count in
// int: past INT_MAX characters, everything is at INT_MAX.
inline int clampToInt(qsizetype value) {
    return int(std::clamp<qsizetype>(value, 0, INT_MAX));
}
