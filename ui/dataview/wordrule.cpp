#include "wordrule.h"

#include <QTextBoundaryFinder>

namespace WordRule {

namespace {

QTextBoundaryFinder wordsOf(QStringView line) {
    return QTextBoundaryFinder(QTextBoundaryFinder::Word, line.data(), line.size());
}

bool wordStartsHere(const QTextBoundaryFinder &finder) {
    return finder.boundaryReasons() & QTextBoundaryFinder::StartOfItem;
}

}  // namespace

Span spanAt(QStringView line, int column) {
    const int n = int(line.size());
    if (n == 0)
        return {};
    column = qBound(0, column, n - 1);
    QTextBoundaryFinder finder = wordsOf(line);
    finder.setPosition(column + 1);
    Span span;
    span.from = int(qMax<qsizetype>(0, finder.toPreviousBoundary()));
    finder.setPosition(span.from);
    span.isWord = wordStartsHere(finder);
    const qsizetype to = finder.toNextBoundary();
    span.to = to < 0 ? n : int(to);
    return span;
}

int nextWordStart(QStringView line, int column) {
    const int n = int(line.size());
    QTextBoundaryFinder finder = wordsOf(line);
    finder.setPosition(qBound(0, column, n));
    for (qsizetype at = finder.toNextBoundary(); at >= 0 && at < n; at = finder.toNextBoundary()) {
        if (wordStartsHere(finder))
            return int(at);
    }
    return n;
}

int previousWordStart(QStringView line, int column) {
    QTextBoundaryFinder finder = wordsOf(line);
    finder.setPosition(qBound(0, column, int(line.size())));
    for (qsizetype at = finder.toPreviousBoundary(); at > 0; at = finder.toPreviousBoundary()) {
        if (wordStartsHere(finder))
            return int(at);
    }
    return 0;
}

}  // namespace WordRule
