#include "presentation.h"

#include <QtMath>

std::pair<qsizetype, qsizetype> Presentation::rowsIn(const QRect &area, qsizetype rows) const {
    const int height = rowHeight();
    const qsizetype first = m_frame.topRow + qMax(0, (area.top() - Margin) / height);
    const qsizetype last =
        qMin(rows - 1, m_frame.topRow + qMax(0, (area.bottom() - Margin) / height));
    return {first, last};
}

qsizetype Presentation::rowAtY(qreal y) const {
    return m_frame.topRow + qFloor((y - Margin) / qreal(rowHeight()));
}
