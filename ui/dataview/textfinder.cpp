#include "textfinder.h"

#include "vectorblock.h"

#include <QHash>

#include <algorithm>

namespace {

// A backward search looks at stretches from the end, first short ones (the
// match before the caret is usually near), then ever longer up to the most.
constexpr qsizetype kBackwardFirst = 256;
constexpr qsizetype kBackwardMost = 64 * 1024;

}  // namespace

TextFinder::TextFinder(QStringView needle, Qt::CaseSensitivity cs)
    : m_needle(needle.toString()), m_fold(cs == Qt::CaseInsensitive) {
    if (m_fold) {
        for (QChar &ch : m_needle) ch = QChar(fold(ch.unicode()));
    }
    const qsizetype m = m_needle.size();
    m_skip.fill(quint32(qMax<qsizetype>(m, 1)));
    // Characters sharing a low byte share a slot, which keeps the smallest
    // move: never past a match.
    for (qsizetype j = 0; j + 1 < m; ++j)
        m_skip[m_needle.at(j).unicode() & 0xFF] = quint32(m - 1 - j);
    if (m > 0) {
        m_first = variantsOf(m_needle.front().unicode());
        m_last = variantsOf(m_needle.back().unicode());
    }
}

TextFinder::Variants TextFinder::variantsOf(char16_t folded) const {
    Variants v;
    v.chars[v.count++] = folded;
    if (!m_fold)
        return v;
    // Surrogates and characters that fold to others stand for themselves.
    for (char32_t c = 0; c <= 0xFFFF; ++c) {
        if (c != folded && fold(char16_t(c)) == folded) {
            if (v.count == int(v.chars.size()))
                return {};  // too many to filter for
            v.chars[v.count++] = char16_t(c);
        }
    }
    return v;
}

qsizetype TextFinder::findForward(const TextReader &text, qsizetype from, qsizetype to) const {
    return find(text, from, to, Match::First);
}

qsizetype TextFinder::findBackward(const TextReader &text, qsizetype from, qsizetype to) const {
    from = qMax<qsizetype>(0, from);
    qsizetype step = kBackwardFirst;
    for (qsizetype high = qMin(to, text.length()); high > from;) {
        const qsizetype low = qMax(from, high - step);
        const qsizetype found = find(text, low, high, Match::Last);
        if (found >= 0)
            return found;
        high = low;
        step = qMin(2 * step, kBackwardMost);
    }
    return -1;
}

qsizetype TextFinder::find(const TextReader &text, qsizetype from, qsizetype to,
                           Match which) const {
    const qsizetype m = m_needle.size();
    from = qMax<qsizetype>(0, from);
    to = qMin(to, text.length() - m + 1);
    if (m == 0 || from >= to)
        return -1;
    const bool last = which == Match::Last;
    qsizetype found = -1;
    qsizetype position = from;
    text.visit(from, to - from + m - 1, [&](const TextSpan &span) {
        const qsizetype size = span.size();
        // Matches within the span.
        const qsizetype inside = scan(span, to - position, which);
        if (inside >= 0) {
            found = position + inside;
            if (!last)
                return false;
        }
        // Matches that begin in the span and run into the next ones.
        const qsizetype seamFrom = qMax(position, position + size - (m - 1));
        const qsizetype seamTo = qMin(position + size, to);
        if (seamFrom < seamTo) {
            const QString seam = text.mid(seamFrom, seamTo - seamFrom + m - 1);
            const qsizetype limit = qMin(seamTo - seamFrom, seam.size() - m + 1);
            const char16_t *chars = reinterpret_cast<const char16_t *>(seam.utf16());
            const qsizetype across = last ? scanLast(chars, limit) : scanOne(chars, limit);
            if (across >= 0) {
                found = seamFrom + across;
                if (!last)
                    return false;
            }
        }
        position += size;
        return true;
    });
    return found;
}

qsizetype TextFinder::scan(const TextSpan &stretch, qsizetype limit, Match which) const {
    limit = qMin(limit, stretch.size() - m_needle.size() + 1);
    if (limit <= 0)
        return -1;
    const bool last = which == Match::Last;
    if (stretch.isWide())
        return last ? scanLast(stretch.chars(), limit) : scanOne(stretch.chars(), limit);
    prepareBytes(stretch.charset());
    return last ? scanLast(stretch.bytes(), limit) : scanOne(stretch.bytes(), limit);
}

// The last i < limit where the needle stands at text + i.
template <typename Char>
qsizetype TextFinder::scanLast(const Char *text, qsizetype limit) const {
    qsizetype found = -1;
    for (qsizetype at = 0; at < limit;) {
        const qsizetype next = scanOne(text + at, limit - at);
        if (next < 0)
            break;
        found = at + next;
        at = found + 1;
    }
    return found;
}

// The first i < limit where the needle stands at text + i.
qsizetype TextFinder::scanOne(const char16_t *text, qsizetype limit) const {
    if (limit <= 0)
        return -1;
    if (VectorBlock::isNative && m_first.count > 0 && m_last.count > 0)
        return filtered(text, limit);
    return horspool(text, limit);
}

qsizetype TextFinder::scanOne(const uchar *text, qsizetype limit) const {
    if (limit <= 0 || !m_bytes.possible)
        return -1;
    if (VectorBlock::isNative && m_bytes.firstCount > 0 && m_bytes.lastCount > 0)
        return filtered(text, limit);
    return horspool(text, limit);
}

void TextFinder::prepareBytes(const ByteCharset &charset) const {
    if (m_bytes.charset == &charset)
        return;
    ByteTables &t = m_bytes;
    t = ByteTables{};
    t.charset = &charset;
    const qsizetype m = m_needle.size();
    if (m == 0)
        return;
    for (int byte = 0; byte < 256; ++byte) {
        const char16_t c = charset.character(uchar(byte));
        t.folded[byte] = m_fold ? fold(c) : c;
    }
    // Where each needle character last stands before the needle's end.
    QHash<char16_t, qsizetype> lastAt;
    for (qsizetype j = 0; j + 1 < m; ++j) lastAt.insert(m_needle.at(j).unicode(), j);
    for (int byte = 0; byte < 256; ++byte) {
        const qsizetype at = lastAt.value(t.folded[byte], -1);
        t.skip[byte] = quint32(at >= 0 ? m - 1 - at : m);
    }
    const auto [firstFolded, lastFolded] =
        std::pair(m_needle.front().unicode(), m_needle.back().unicode());
    for (int byte = 0; byte < 256; ++byte) {
        if (t.folded[byte] == firstFolded && t.firstCount >= 0) {
            if (t.firstCount == int(t.first.size()))
                t.firstCount = -1;  // too many
            else
                t.first[t.firstCount++] = uchar(byte);
        }
        if (t.folded[byte] == lastFolded && t.lastCount >= 0) {
            if (t.lastCount == int(t.last.size()))
                t.lastCount = -1;
            else
                t.last[t.lastCount++] = uchar(byte);
        }
    }
    for (const QChar ch : m_needle) {
        if (std::find(t.folded.begin(), t.folded.end(), ch.unicode()) == t.folded.end()) {
            t.possible = false;
            break;
        }
    }
    t.firstCount = qMax(0, t.firstCount);
    t.lastCount = qMax(0, t.lastCount);
}

qsizetype TextFinder::horspool(const char16_t *text, qsizetype limit) const {
    const qsizetype m = m_needle.size();
    const char16_t last = m_needle.back().unicode();
    for (qsizetype i = 0; i < limit;) {
        const char16_t c = m_fold ? fold(text[i + m - 1]) : text[i + m - 1];
        if (c == last && matchesAt(text + i))
            return i;
        i += m_skip[c & 0xFF];
    }
    return -1;
}

qsizetype TextFinder::horspool(const uchar *text, qsizetype limit) const {
    const qsizetype m = m_needle.size();
    const char16_t last = m_needle.back().unicode();
    for (qsizetype i = 0; i < limit;) {
        const uchar c = text[i + m - 1];
        if (m_bytes.folded[c] == last && matchesAt(text + i))
            return i;
        i += m_bytes.skip[c];
    }
    return -1;
}

namespace {

// All ones in each lane whose byte is one of the variants.
VectorBlock anyOf(VectorBlock lanes, const std::array<uchar, 4> &bytes, int count) {
    VectorBlock hit = lanes.equal8(VectorBlock::splat8(bytes[0]));
    for (int k = 1; k < count; ++k) hit = hit | lanes.equal8(VectorBlock::splat8(bytes[k]));
    return hit;
}

// All ones in each lane whose character is one of the variants.
VectorBlock anyOf(VectorBlock lanes, const std::array<char16_t, 3> &chars, int count) {
    VectorBlock hit = lanes.equal16(VectorBlock::splat16(chars[0]));
    for (int k = 1; k < count; ++k) hit = hit | lanes.equal16(VectorBlock::splat16(chars[k]));
    return hit;
}

}  // namespace

qsizetype TextFinder::filtered(const char16_t *text, qsizetype limit) const {
    const qsizetype m = m_needle.size();
    qsizetype i = 0;
    for (; i + VectorBlock::Chars <= limit; i += VectorBlock::Chars) {
        const VectorBlock first = VectorBlock::load(text + i);
        const VectorBlock last = VectorBlock::load(text + i + m - 1);
        unsigned mask =
            (anyOf(first, m_first.chars, m_first.count) & anyOf(last, m_last.chars, m_last.count))
                .mask();
        while (mask != 0) {
            const int lane = VectorBlock::firstByte(mask) / 2;
            if (matchesAt(text + i + lane))
                return i + lane;
            mask &= ~(3u << (2 * lane));
        }
    }
    for (; i < limit; ++i) {
        if (matchesAt(text + i))
            return i;
    }
    return -1;
}
qsizetype TextFinder::filtered(const uchar *text, qsizetype limit) const {
    const qsizetype m = m_needle.size();
    qsizetype i = 0;
    for (; i + VectorBlock::Bytes <= limit; i += VectorBlock::Bytes) {
        const VectorBlock first = VectorBlock::load(text + i);
        const VectorBlock last = VectorBlock::load(text + i + m - 1);
        unsigned mask = (anyOf(first, m_bytes.first, m_bytes.firstCount) &
                         anyOf(last, m_bytes.last, m_bytes.lastCount))
                            .mask();
        while (mask != 0) {
            const int lane = VectorBlock::firstByte(mask);
            if (matchesAt(text + i + lane))
                return i + lane;
            mask &= mask - 1;
        }
    }
    for (; i < limit; ++i) {
        if (matchesAt(text + i))
            return i;
    }
    return -1;
}

bool TextFinder::matchesAt(const uchar *text) const {
    const char16_t *needle = reinterpret_cast<const char16_t *>(m_needle.utf16());
    const qsizetype m = m_needle.size();
    for (qsizetype j = 0; j < m; ++j) {
        if (m_bytes.folded[text[j]] != needle[j])
            return false;
    }
    return true;
}

bool TextFinder::matchesAt(const char16_t *text) const {
    const char16_t *needle = reinterpret_cast<const char16_t *>(m_needle.utf16());
    const qsizetype m = m_needle.size();
    if (m_fold) {
        for (qsizetype j = 0; j < m; ++j) {
            if (fold(text[j]) != needle[j])
                return false;
        }
        return true;
    }
    return std::equal(needle, needle + m, text);
}

char16_t TextFinder::fold(char16_t c) const {
    if (c < 0x80)
        return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
    return QChar::toCaseFolded(c);
}
