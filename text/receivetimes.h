#pragma once

#include <QSharedData>
#include <QSharedDataPointer>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

// When the DATA view's received lines came: for each line whose first
// character was received, the computer's clock at that moment
// (milliseconds since the epoch), kept at the position where the line
// starts. Lines the operator typed have none.
//
// Times follow their lines through the operator's edits, by one rule: text
// put in or taken out without a line break stays inside the line it is in,
// so a time at the edit's place stays there; text with a line break makes or
// ends lines there, so the time moves on with the text after it (put in) or
// goes with the line it started (taken out). That is, a stretch [p, q)
// taken out takes the times of [p, q) with a line break and of (p, q]
// without; a stretch put in at p moves the times from p on, or from p + 1
// on. Each is undone exactly by the other, so the undo history keeps the
// times an edit took out beside its text and puts both back. Joining two
// lines leaves the second line's time inside the joined one, where it is
// not shown but comes back with the line break.
//
// Cost: 6 bytes a time, in blocks of up to BlockSize times, each a position
// (2 bytes from the block's start) and a time (4 bytes from the block's
// first): about 6.1 bytes a received line, and a block of its own (about
// 130 bytes) for a line that starts more than 64 K characters after the
// one before. Finding the time at a position is two binary searches; an
// edit costs the blocks it splits or moves (a select-all delete of 100 MB
// moves its blocks to the history whole) and a sum over the block starts.
// A copy (a snapshot for saving) shares the blocks; a shared block is
// copied before it changes, as the text store's pieces are.
class ReceiveTimes {
public:
    static constexpr int BlockSize = 1024;

    // Whether a stretch holds a line break (CR or LF).
    enum class LineBreaks { None, Some };

    // A line starting at position (past every time held, or at the last,
    // whose time it replaces) came at ms.
    void append(qsizetype position, qint64 ms);
    // The time of the line that starts at position, if it has one.
    std::optional<qint64> at(qsizetype position) const;

    // length characters at position were taken out; returns the times that
    // went with them, their positions counted from position.
    ReceiveTimes take(qsizetype position, qsizetype length, LineBreaks breaks);
    // length characters were put in at position; times (as take() gave
    // them) go with them.
    void insert(qsizetype position, qsizetype length, LineBreaks breaks, ReceiveTimes &&times = {});

    bool isEmpty() const { return m_blocks.empty(); }
    qsizetype count() const;
    // Bytes held, spare room included (blocks shared with a copy count in
    // full for each).
    qsizetype allocatedBytes() const;
    // Empties it and gives its memory back.
    void clear();

    // The local time of ms as the margin and a timed save show it:
    // "HH:MM:SS.mmm". About 50 ns; the local time of a minute is worked out
    // once a minute, per thread.
    static QString text(qint64 ms);

private:
    struct Times : QSharedData {
        qint64 base = 0;               // the first time
        std::vector<quint16> offsets;  // from the block's start, ascending
        std::vector<qint32> fromBase;  // ms from base
    };
    struct Block {
        qsizetype start = 0;  // the first time's position
        QSharedDataPointer<Times> times;

        qsizetype size() const { return qsizetype(times->offsets.size()); }
        qsizetype last() const { return start + times->offsets.back(); }
        qsizetype position(qsizetype i) const { return start + times->offsets[i]; }
        qint64 time(qsizetype i) const { return times->base + times->fromBase[i]; }
    };

    static Block makeBlock(qsizetype position, qint64 ms);
    // Whether a time fits the block after its last one.
    static bool fits(const Block &block, qsizetype position, qint64 ms);
    static void add(Block &block, qsizetype position, qint64 ms);
    // The index of the first block all of whose times are at or after
    // position, splitting the one block that holds times on both sides.
    qsizetype split(qsizetype position);
    void shiftFrom(qsizetype block, qsizetype by);
    // Joins the block with the one before it where both fit in one.
    void mergeAt(qsizetype block);

    std::vector<Block> m_blocks;
};
