#include "textstore.h"

#include <algorithm>

QChar TextStore::at(qsizetype position) const {
    Q_ASSERT(position >= 0 && position < m_size);
    const qsizetype piece = pieceAt(position);
    return m_pieces[piece].at(position - m_starts[piece]);
}

QString TextStore::mid(qsizetype position, qsizetype length) const {
    position = qBound<qsizetype>(0, position, m_size);
    length = qBound<qsizetype>(0, length, m_size - position);
    QString out;
    out.reserve(length);
    visit(position, length, [&out](QStringView part) {
        out.append(part);
        return true;
    });
    return out;
}

QString TextStore::toString() const {
    return mid(0, m_size);
}

void TextStore::append(QStringView text) {
    while (!text.isEmpty()) {
        if (m_pieces.empty() || m_pieces.back().size() >= PieceSize) {
            // Reserved in full, so the piece fills up without being copied.
            QString piece;
            piece.reserve(PieceSize);
            m_starts.push_back(m_size);
            m_pieces.push_back(std::move(piece));
        }
        QString &last = m_pieces.back();
        const qsizetype take = qMin(text.size(), PieceSize - last.size());
        last.append(text.first(take));
        m_size += take;
        text = text.sliced(take);
    }
}

void TextStore::insert(qsizetype position, QStringView text) {
    Q_ASSERT(position >= 0 && position <= m_size);
    if (text.isEmpty())
        return;
    if (position == m_size) {
        append(text);
        return;
    }
    const qsizetype piece = pieceAt(position);
    m_pieces[piece].insert(position - m_starts[piece], text);
    m_size += text.size();
    if (m_pieces[piece].size() > 2 * PieceSize)
        splitPiece(piece);
    renumberFrom(piece + 1);
}

void TextStore::remove(qsizetype position, qsizetype length) {
    position = qBound<qsizetype>(0, position, m_size);
    length = qBound<qsizetype>(0, length, m_size - position);
    if (length == 0)
        return;
    const qsizetype first = pieceAt(position);
    qsizetype piece = first;
    qsizetype offset = position - m_starts[piece];
    while (length > 0) {
        QString &text = m_pieces[piece];
        const qsizetype take = qMin(length, text.size() - offset);
        text.remove(offset, take);
        length -= take;
        m_size -= take;
        if (text.isEmpty()) {
            m_pieces.erase(m_pieces.begin() + piece);
            m_starts.erase(m_starts.begin() + piece);
        } else {
            ++piece;
        }
        offset = 0;
    }
    renumberFrom(first);
}

TextStore TextStore::take(qsizetype position, qsizetype length) {
    position = qBound<qsizetype>(0, position, m_size);
    length = qBound<qsizetype>(0, length, m_size - position);
    TextStore out;
    if (length == 0)
        return out;
    if (length < PieceSize) {
        // One piece of exactly the characters taken.
        out.m_pieces.push_back(mid(position, length));
        out.m_starts.push_back(0);
        out.m_size = length;
        remove(position, length);
        return out;
    }
    const qsizetype first = splitAt(position);
    const qsizetype last = splitAt(position + length);
    out.m_pieces.assign(std::make_move_iterator(m_pieces.begin() + first),
                        std::make_move_iterator(m_pieces.begin() + last));
    out.m_starts.resize(out.m_pieces.size());
    out.m_size = length;
    out.renumberFrom(0);
    m_pieces.erase(m_pieces.begin() + first, m_pieces.begin() + last);
    m_starts.erase(m_starts.begin() + first, m_starts.begin() + last);
    m_size -= length;
    renumberFrom(first);
    return out;
}

void TextStore::put(qsizetype position, TextStore &&text) {
    position = qBound<qsizetype>(0, position, m_size);
    if (text.isEmpty())
        return;
    if (text.size() < PieceSize) {
        insert(position, text.toString());
    } else {
        const qsizetype at = splitAt(position);
        m_pieces.insert(m_pieces.begin() + at, std::make_move_iterator(text.m_pieces.begin()),
                        std::make_move_iterator(text.m_pieces.end()));
        m_starts.insert(m_starts.begin() + at, text.m_pieces.size(), 0);
        m_size += text.size();
        renumberFrom(at);
    }
    text.clear();
}

void TextStore::clear() {
    // Swapped out rather than cleared: clear() would keep the capacity.
    std::vector<QString>().swap(m_pieces);
    std::vector<qsizetype>().swap(m_starts);
    m_size = 0;
}

qsizetype TextStore::allocatedBytes() const {
    qsizetype bytes =
        qsizetype(m_pieces.capacity() * sizeof(QString) + m_starts.capacity() * sizeof(qsizetype));
    for (const QString &piece : m_pieces) bytes += piece.capacity() * qsizetype(sizeof(QChar));
    return bytes;
}

qsizetype TextStore::pieceAt(qsizetype position) const {
    const auto after = std::upper_bound(m_starts.begin(), m_starts.end(), position);
    return qMax<qsizetype>(0, (after - m_starts.begin()) - 1);
}

qsizetype TextStore::splitAt(qsizetype position) {
    if (position >= m_size)
        return qsizetype(m_pieces.size());
    const qsizetype piece = pieceAt(position);
    const qsizetype offset = position - m_starts[piece];
    if (offset == 0)
        return piece;
    QString tail = m_pieces[piece].mid(offset);
    m_pieces[piece].truncate(offset);
    m_pieces.insert(m_pieces.begin() + piece + 1, std::move(tail));
    m_starts.insert(m_starts.begin() + piece + 1, position);
    return piece + 1;
}

// A piece that an insert made large is cut back into pieces of PieceSize.
void TextStore::splitPiece(qsizetype piece) {
    const QString whole = std::move(m_pieces[piece]);
    std::vector<QString> parts;
    for (qsizetype from = 0; from < whole.size(); from += PieceSize)
        parts.push_back(whole.mid(from, PieceSize));
    m_pieces[piece] = std::move(parts.front());
    m_pieces.insert(m_pieces.begin() + piece + 1, std::make_move_iterator(parts.begin() + 1),
                    std::make_move_iterator(parts.end()));
    m_starts.insert(m_starts.begin() + piece + 1, parts.size() - 1, 0);
}

// The first piece may be new (the old one was removed), so its start is set
// before the others are summed from it.
void TextStore::renumberFrom(qsizetype piece) {
    if (!m_starts.empty())
        m_starts[0] = 0;
    for (qsizetype i = qMax<qsizetype>(piece, 1); i < qsizetype(m_pieces.size()); ++i)
        m_starts[i] = m_starts[i - 1] + m_pieces[i - 1].size();
}
