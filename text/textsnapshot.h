#pragma once

#include "receivetimes.h"
#include "textstore.h"

// The DATA view's text as it stood at one moment, with its receive times,
// for another thread to read (saving it to a file) while the view goes on
// receiving and being edited.
//
// Taking one costs a few tens of nanoseconds a piece of 64 K characters,
// well under a millisecond for 100 MB: the pieces' characters are implicitly
// shared, not copied. The view's next change to a shared piece copies that piece alone
// before changing it (an append copies at most the last piece, once), so
// the snapshot keeps the text it was taken from. The receive times' blocks
// are shared in the same way. Take it on the view's thread; after that it
// may be read on any one thread.
class TextSnapshot {
public:
    // About as many characters as a span of visit() holds, at most (an edit
    // in the middle of the text may leave a longer one).
    static constexpr qsizetype SpanSize = TextStore::PieceSize;

    TextSnapshot() = default;
    explicit TextSnapshot(const TextStore &text, const ReceiveTimes &times = {})
        : m_text(text), m_times(times) {}

    qsizetype size() const { return m_text.size(); }
    // What the spans' single bytes stand for.
    const ByteCharset &charset() const { return m_text.charset(); }
    QString mid(qsizetype position, qsizetype length) const { return m_text.mid(position, length); }

    // Calls visit(const TextSpan &) for the consecutive spans of the
    // text from position on, in order, until it returns false.
    template <typename Visit>
    void visit(qsizetype position, Visit visit) const {
        m_text.visit(position, m_text.size() - position, visit);
    }
    // The same for [position, position + length).
    template <typename Visit>
    void visit(qsizetype position, qsizetype length, Visit visit) const {
        m_text.visit(position, length, visit);
    }

    // The receive time of the line that starts at position, if it has one.
    std::optional<qint64> receiveTime(qsizetype position) const { return m_times.at(position); }

private:
    TextStore m_text;
    ReceiveTimes m_times;
};
