#include "lineindex.h"

#include "textstore.h"
#include "vectorblock.h"

#include <algorithm>

namespace {

// The first character at or after c, before stop, that may end a line or
// needs a look of its own: anything up to CR. Sixteen bytes or eight
// characters at a time.
const uchar *plainUpTo(const uchar *c, const uchar *stop) {
    for (; stop - c >= VectorBlock::Bytes; c += VectorBlock::Bytes) {
        const unsigned mask = VectorBlock::load(c).atMost8('\r').mask();
        if (mask != 0)
            return c + VectorBlock::firstByte(mask);
    }
    while (c != stop && *c > '\r') ++c;
    return c;
}

const char16_t *plainUpTo(const char16_t *c, const char16_t *stop) {
    for (; stop - c >= VectorBlock::Chars; c += VectorBlock::Chars) {
        const unsigned mask = VectorBlock::load(c).atMost16(u'\r').mask();
        if (mask != 0)
            return c + VectorBlock::firstByte(mask) / 2;
    }
    while (c != stop && *c > u'\r') ++c;
    return c;
}

}  // namespace

// Cuts characters into lines, appending to a list whose last entry is the
// open line. A display break is made only when a character arrives that no
// longer fits, so a line of exactly Limit characters keeps its own line end.
struct LineIndex::Scanner {
    std::vector<quint16> &lines;
    int open;

    bool pendingCr() const {
        return open == 0 && lines.size() >= 2 &&
               LineEnd(lines[lines.size() - 2] & EndMask) == LineEnd::Cr;
    }

    void close(LineEnd end) {
        lines.back() = pack(open, end);
        lines.push_back(pack(0, LineEnd::None));
        open = 0;
    }

    void breakIfFull(char16_t c) {
        if (open >= Limit - 1 && c != u'\r' && c != u'\n' &&
            (open == Limit || QChar::isHighSurrogate(c)))
            close(LineEnd::Break);
    }

    // After breakIfFull().
    void take(char16_t c) {
        if (c == u'\r') {
            close(LineEnd::Cr);
        } else if (c == u'\n') {
            if (pendingCr()) {
                // The LF of a CR LF whose CR ended the line before.
                quint16 &previous = lines[lines.size() - 2];
                previous = pack(previous >> EndBits, LineEnd::CrLf);
            } else {
                close(LineEnd::Lf);
            }
        } else {
            ++open;
        }
    }

    // Characters or bytes of a ByteCharset: the two agree up to CR, and no
    // byte is a surrogate.
    template <typename Char>
    void feed(const Char *c, qsizetype size) {
        const Char *const end = c + size;
        while (c != end) {
            // Plain characters in one go, up to the line's limit.
            if (*c > u'\r' && open < Limit - 1) {
                const Char *const stop = c + qMin<qsizetype>(end - c, Limit - 1 - open);
                const Char *const run = plainUpTo(c, stop);
                open += int(run - c);
                c = run;
                continue;
            }
            breakIfFull(*c);
            take(*c);
            ++c;
        }
    }

    void feed(const TextSpan &span) {
        if (span.isWide())
            feed(span.chars(), span.size());
        else
            feed(span.bytes(), span.size());
    }

    void finish() { lines.back() = pack(open, LineEnd::None); }
};

LineIndex::LineIndex() {
    clear();
}

void LineIndex::clear() {
    std::vector<quint16>{pack(0, LineEnd::None)}.swap(m_lines);
    std::vector<qsizetype>{0}.swap(m_groupStarts);
    m_openStart = 0;
    m_longest = 0;
    m_longestKnown = true;
}

void LineIndex::append(QStringView text) {
    appendRun(text.utf16(), text.size());
}

void LineIndex::append(QByteArrayView bytes) {
    appendRun(reinterpret_cast<const uchar *>(bytes.data()), bytes.size());
}

template <typename Char>
void LineIndex::appendRun(const Char *text, qsizetype size) {
    if (size == 0)
        return;
    const qsizetype oldCount = lineCount();
    Scanner scan{m_lines, lineLength(oldCount - 1)};
    scan.feed(text, size);
    scan.finish();
    if (m_longestKnown) {
        for (qsizetype line = oldCount - 1; line < lineCount(); ++line)
            m_longest = qMax(m_longest, lineLength(line));
    }
    // The line before the old open line may have gained the LF of its CR.
    rebuildGroupsFrom(qMax<qsizetype>(0, oldCount - 2));
}

void LineIndex::replace(const TextStore &text, qsizetype from, qsizetype removed,
                        qsizetype inserted) {
    const qsizetype delta = inserted - removed;
    const qsizetype oldEnd = from + removed;
    // Lines before the one holding the character before the edit cannot
    // change: their ends and their breaks depend only on what precedes them.
    const qsizetype first = from == 0 ? 0 : lineAt(from - 1);
    const qsizetype start = lineStart(first);

    std::vector<quint16> fresh{pack(0, LineEnd::None)};
    Scanner scan{fresh, 0};
    // Cut lines again until a fresh line starts, past the edit, exactly where
    // an old line started: from there on the old lines hold.
    qsizetype oldLine = first;
    qsizetype oldStart = start;
    qsizetype sync = -1;
    // Up to the end of the inserted text no line can be an old one: cut it
    // in one go, as appended text is.
    qsizetype position = from + inserted;
    text.visit(start, position - start, [&scan](const TextSpan &span) {
        scan.feed(span);
        return true;
    });
    text.visit(position, text.size() - position, [&](const TextSpan &span) {
        for (qsizetype i = 0; i < span.size(); ++i) {
            const char16_t c = span.isWide() ? span.chars()[i] : span.bytes()[i];
            scan.breakIfFull(c);
            if (scan.open == 0 && position - delta > oldEnd && !(c == u'\n' && scan.pendingCr())) {
                const qsizetype old = position - delta;
                while (oldLine < lineCount() - 1 && oldStart < old)
                    oldStart += lineTotal(oldLine++);
                if (oldStart == old) {
                    sync = oldLine;
                    return false;
                }
            }
            scan.take(c);
            ++position;
        }
        return true;
    });

    const qsizetype last = sync >= 0 ? sync : lineCount();
    if (sync >= 0)
        fresh.pop_back();  // empty, and the same line as the old one at sync
    else
        scan.finish();

    bool longestReplaced = false;
    for (qsizetype line = first; line < last; ++line)
        longestReplaced = longestReplaced || lineLength(line) >= m_longest;
    if (longestReplaced) {
        m_longestKnown = false;
    } else if (m_longestKnown) {
        for (const quint16 line : fresh) m_longest = qMax(m_longest, int(line >> EndBits));
    }

    const auto at = m_lines.begin() + first;
    const qsizetype common = qMin<qsizetype>(last - first, qsizetype(fresh.size()));
    std::copy(fresh.begin(), fresh.begin() + common, at);
    if (common < last - first)
        m_lines.erase(at + common, m_lines.begin() + last);
    else
        m_lines.insert(at + common, fresh.begin() + common, fresh.end());
    rebuildGroupsFrom(first);
}

qsizetype LineIndex::lineStart(qsizetype line) const {
    qsizetype at = line / GroupSize * GroupSize;
    qsizetype start = m_groupStarts[at / GroupSize];
    for (; at < line; ++at) start += lineTotal(at);
    return start;
}

int LineIndex::endLength(LineEnd end) {
    switch (end) {
        case LineEnd::CrLf:
            return 2;
        case LineEnd::Lf:
        case LineEnd::Cr:
            return 1;
        case LineEnd::None:
        case LineEnd::Break:
            break;
    }
    return 0;
}

qsizetype LineIndex::lineAt(qsizetype position) const {
    const auto after = std::upper_bound(m_groupStarts.begin(), m_groupStarts.end(), position);
    const qsizetype group = qMax<qsizetype>(0, (after - m_groupStarts.begin()) - 1);
    qsizetype line = group * GroupSize;
    qsizetype start = m_groupStarts[group];
    const qsizetype last = lineCount() - 1;
    while (line < last && start + lineTotal(line) <= position) start += lineTotal(line++);
    return line;
}

int LineIndex::longestLine() const {
    if (!m_longestKnown) {
        m_longest = 0;
        for (const quint16 line : m_lines) m_longest = qMax(m_longest, int(line >> EndBits));
        m_longestKnown = true;
    }
    return m_longest;
}

qsizetype LineIndex::allocatedBytes() const {
    return qsizetype(m_lines.capacity() * sizeof(quint16) +
                     m_groupStarts.capacity() * sizeof(qsizetype));
}

// Group starts before `line` still hold; the rest are summed again.
void LineIndex::rebuildGroupsFrom(qsizetype line) {
    qsizetype group = line / GroupSize;
    m_groupStarts.resize(group + 1);
    qsizetype start = m_groupStarts[group];
    const qsizetype count = lineCount();
    for (qsizetype at = group * GroupSize; at < count - 1; ++at) {
        start += lineTotal(at);
        if ((at + 1) % GroupSize == 0)
            m_groupStarts.push_back(start);
    }
    m_openStart = start;
}
