#include "textstore.h"

#include <algorithm>

// --- Piece

// The room a piece that outgrows `capacity` gets: doubling up to a piece's
// size, so that a piece filled by appends holds no spare room; past that (an
// insert in the middle of a full piece) a sixteenth of a piece at a time.
qsizetype TextStore::Piece::roomFor(qsizetype needed, qsizetype capacity) {
    if (needed <= PieceSize)
        return qMin(PieceSize, qMax(needed, 2 * capacity));
    return needed + PieceSize / 16;
}

TextStore::Piece TextStore::Piece::reserved() {
    Piece piece;
    piece.m_bytes.reserve(PieceSize);
    return piece;
}

qsizetype TextStore::Piece::allocatedBytes() const {
    return m_bytes.capacity() + m_chars.capacity() * qsizetype(sizeof(QChar));
}

TextSpan TextStore::Piece::span(qsizetype offset, qsizetype length,
                                const ByteCharset *charset) const {
    if (m_wide)
        return TextSpan(reinterpret_cast<const char16_t *>(m_chars.utf16()) + offset, length,
                        charset);
    return TextSpan(reinterpret_cast<const uchar *>(m_bytes.constData()) + offset, length, charset);
}

void TextStore::Piece::insert(qsizetype offset, QStringView text, const ByteCharset &charset) {
    if (!m_wide && !charset.covers(text))
        widen(charset);
    const qsizetype needed = size() + text.size();
    if (m_wide) {
        if (needed > m_chars.capacity())
            m_chars.reserve(roomFor(needed, m_chars.capacity()));
        m_chars.insert(offset, text);
        return;
    }
    if (needed > m_bytes.capacity())
        m_bytes.reserve(roomFor(needed, m_bytes.capacity()));
    m_bytes.insert(offset, text.size(), '\0');
    charset.encode(text, m_bytes.data() + offset);
}

void TextStore::Piece::append(QByteArrayView bytes) {
    const qsizetype needed = m_bytes.size() + bytes.size();
    if (needed > m_bytes.capacity())
        m_bytes.reserve(roomFor(needed, m_bytes.capacity()));
    m_bytes.append(bytes);
}

void TextStore::Piece::remove(qsizetype offset, qsizetype length) {
    if (m_wide)
        m_chars.remove(offset, length);
    else
        m_bytes.remove(offset, length);
}

TextStore::Piece TextStore::Piece::cut(qsizetype offset) {
    Piece tail = copy(offset, size() - offset);
    if (m_wide)
        m_chars.truncate(offset);
    else
        m_bytes.truncate(offset);
    return tail;
}

TextStore::Piece TextStore::Piece::copy(qsizetype offset, qsizetype length) const {
    Piece piece;
    piece.m_wide = m_wide;
    if (m_wide)
        piece.m_chars = QString(m_chars.constData() + offset, length);
    else
        piece.m_bytes = QByteArray(m_bytes.constData() + offset, length);
    return piece;
}

void TextStore::Piece::widen(const ByteCharset &charset) {
    QString chars;
    chars.reserve(qMax(m_bytes.size(), qMin(m_bytes.capacity(), PieceSize)));
    charset.decodeAppend(chars, m_bytes);
    m_chars = std::move(chars);
    m_bytes = QByteArray();
    m_wide = true;
}

void TextStore::Piece::narrowIfCovered(const ByteCharset &charset) {
    if (!m_wide || !charset.covers(m_chars))
        return;
    QByteArray bytes(m_chars.size(), Qt::Uninitialized);
    charset.encode(m_chars, bytes.data());
    m_bytes = std::move(bytes);
    m_chars = QString();
    m_wide = false;
}

// --- TextStore

TextStore::TextStore(std::shared_ptr<const ByteCharset> charset) : m_charset(std::move(charset)) {}

void TextStore::setCharset(std::shared_ptr<const ByteCharset> charset) {
    if (charset == m_charset)
        return;
    const QString text = toString();
    clear();
    m_charset = std::move(charset);
    append(text);
}

QChar TextStore::at(qsizetype position) const {
    Q_ASSERT(position >= 0 && position < m_size);
    const qsizetype piece = pieceAt(position);
    return m_pieces[piece].span(position - m_starts[piece], 1, m_charset.get()).at(0);
}

QString TextStore::mid(qsizetype position, qsizetype length) const {
    position = qBound<qsizetype>(0, position, m_size);
    length = qBound<qsizetype>(0, length, m_size - position);
    QString out;
    out.reserve(length);
    visit(position, length, [&out](const TextSpan &span) {
        span.appendTo(out);
        return true;
    });
    return out;
}

QString TextStore::toString() const {
    return mid(0, m_size);
}

void TextStore::append(QStringView text) {
    while (!text.isEmpty()) {
        // The last piece takes what fits it as it is: anything when it is
        // wide, characters with bytes when it is not.
        if (!m_pieces.empty() && m_pieces.back().size() < PieceSize) {
            Piece &last = m_pieces.back();
            const QStringView slice = text.first(qMin(text.size(), PieceSize - last.size()));
            if (last.isWide() || m_charset->covers(slice)) {
                last.insert(last.size(), slice, *m_charset);
                m_size += slice.size();
                text = text.sliced(slice.size());
                continue;
            }
        }
        // A new piece, of bytes unless this stretch needs two.
        const QStringView slice = text.first(qMin(text.size(), PieceSize));
        Piece piece;
        piece.insert(0, slice, *m_charset);
        pushPiece(std::move(piece));
        m_size += slice.size();
        text = text.sliced(slice.size());
    }
}

void TextStore::append(QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        if (m_pieces.empty() || m_pieces.back().isWide() || m_pieces.back().size() >= PieceSize) {
            // After a full piece a flood is on: the new one is reserved
            // whole, so that it fills up without being copied.
            const bool flood = !m_pieces.empty() && m_pieces.back().size() >= PieceSize;
            pushPiece(flood ? Piece::reserved() : Piece());
        }
        Piece &last = m_pieces.back();
        const QByteArrayView slice = bytes.first(qMin(bytes.size(), PieceSize - last.size()));
        last.append(slice);
        m_size += slice.size();
        bytes = bytes.sliced(slice.size());
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
    m_pieces[piece].insert(position - m_starts[piece], text, *m_charset);
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
        Piece &text = m_pieces[piece];
        const qsizetype take = qMin(length, text.size() - offset);
        text.remove(offset, take);
        length -= take;
        m_size -= take;
        if (text.size() == 0) {
            m_pieces.erase(m_pieces.begin() + piece);
            m_starts.erase(m_starts.begin() + piece);
        } else {
            text.narrowIfCovered(*m_charset);
            ++piece;
        }
        offset = 0;
    }
    renumberFrom(first);
}

TextStore TextStore::take(qsizetype position, qsizetype length) {
    position = qBound<qsizetype>(0, position, m_size);
    length = qBound<qsizetype>(0, length, m_size - position);
    TextStore out(m_charset);
    if (length == 0)
        return out;
    if (length < PieceSize) {
        // A copy of exactly the characters taken, bytes kept as bytes.
        visit(position, length, [&out](const TextSpan &span) {
            if (span.isWide())
                out.append(QStringView(span.chars(), span.size()));
            else
                out.append(QByteArrayView(span.bytes(), span.size()));
            return true;
        });
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
    if (text.size() < PieceSize || text.m_charset != m_charset) {
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
    std::vector<Piece>().swap(m_pieces);
    std::vector<qsizetype>().swap(m_starts);
    m_size = 0;
}

qsizetype TextStore::allocatedBytes() const {
    qsizetype bytes =
        qsizetype(m_pieces.capacity() * sizeof(Piece) + m_starts.capacity() * sizeof(qsizetype));
    for (const Piece &piece : m_pieces) bytes += piece.allocatedBytes();
    return bytes;
}

qsizetype TextStore::wideCharacters() const {
    qsizetype wide = 0;
    for (const Piece &piece : m_pieces) wide += piece.isWide() ? piece.size() : 0;
    return wide;
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
    Piece tail = m_pieces[piece].cut(offset);
    // Either half may have lost the characters that made the piece wide.
    m_pieces[piece].narrowIfCovered(*m_charset);
    tail.narrowIfCovered(*m_charset);
    m_pieces.insert(m_pieces.begin() + piece + 1, std::move(tail));
    m_starts.insert(m_starts.begin() + piece + 1, position);
    return piece + 1;
}

// A piece that an insert made large is cut back into pieces of PieceSize.
void TextStore::splitPiece(qsizetype piece) {
    const Piece whole = std::move(m_pieces[piece]);
    std::vector<Piece> parts;
    for (qsizetype from = 0; from < whole.size(); from += PieceSize) {
        parts.push_back(whole.copy(from, qMin(PieceSize, whole.size() - from)));
        parts.back().narrowIfCovered(*m_charset);
    }
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

void TextStore::pushPiece(Piece &&piece) {
    m_starts.push_back(m_size);
    m_pieces.push_back(std::move(piece));
}
