#include "linepattern.h"

LinePattern::LinePattern(const QString &text) : m_text(text) {
    Piece piece;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text.at(i);
        if (c == u'*') {
            m_pieces.append(std::move(piece));
            piece = Piece();
            continue;
        }
        const bool wild = c == u'?';
        if (c == u'\\' && i + 1 < text.size()) {
            const QChar next = text.at(i + 1);
            if (next == u'*' || next == u'?' || next == u'\\') {
                c = next;
                ++i;
            }
        }
        piece.chars += c;
        piece.wild += wild ? '\1' : '\0';
    }
    m_pieces.append(std::move(piece));
}

bool LinePattern::Piece::matchesAt(QStringView line, qsizetype at) const {
    if (at < 0 || at + chars.size() > line.size())
        return false;
    for (qsizetype i = 0; i < chars.size(); ++i) {
        if (!wild.at(i) && line.at(at + i) != chars.at(i))
            return false;
    }
    return true;
}

bool LinePattern::matches(QStringView line) const {
    if (m_pieces.isEmpty())
        return line.isEmpty();
    const Piece &first = m_pieces.first();
    if (m_pieces.size() == 1)
        return first.chars.size() == line.size() && first.matchesAt(line, 0);
    // first*middle*...*last: the first at the start, the last at the end,
    // each middle piece where it first fits after the one before (the
    // leftmost fit leaves the most room for the rest).
    const Piece &last = m_pieces.last();
    if (first.chars.size() + last.chars.size() > line.size() || !first.matchesAt(line, 0) ||
        !last.matchesAt(line, line.size() - last.chars.size()))
        return false;
    qsizetype at = first.chars.size();
    const qsizetype end = line.size() - last.chars.size();
    for (qsizetype p = 1; p + 1 < m_pieces.size(); ++p) {
        const Piece &piece = m_pieces.at(p);
        while (at + piece.chars.size() <= end && !piece.matchesAt(line, at)) ++at;
        if (at + piece.chars.size() > end)
            return false;
        at += piece.chars.size();
    }
    return true;
}

QString LinePattern::escape(QStringView line) {
    QString out;
    out.reserve(line.size());
    for (const QChar c : line) {
        if (c == u'*' || c == u'?' || c == u'\\')
            out += u'\\';
        out += c;
    }
    return out;
}
