#include "textreader.h"

namespace {

bool isPair(QStringView two) {
    return two.size() == 2 && two.front().isHighSurrogate() && two.back().isLowSurrogate();
}

}  // namespace

qsizetype TextReader::nextCharacter(qsizetype position) const {
    const QString two = mid(position, 2);
    return position + (isPair(two) ? 2 : qMin<qsizetype>(two.size(), 1));
}

qsizetype TextReader::previousCharacter(qsizetype position) const {
    if (position <= 0)
        return 0;
    const qsizetype from = qMax<qsizetype>(0, position - 2);
    return position - (isPair(mid(from, position - from)) ? 2 : 1);
}
