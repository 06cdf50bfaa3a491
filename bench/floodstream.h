#pragma once

#include <QByteArray>
#include <QtGlobal>

// One piece of what the device sends: flood text, or a short reply that is
// timed on its own.
struct FloodPiece {
    QByteArray bytes;
    bool reply = false;
};

// What a device flooding the console sends, produced piece by piece so that
// hundreds of megabytes never sit in memory at once.
//
// Lines: numbered 60-byte lines ending in CR LF. With a reply interval, a
// short reply follows the line during which each further interval of the
// stream was reached, so replies stand at line starts as a device's would.
// OneLine: printable characters without a single line end.
// The stream is exactly totalBytes long, the last line cut where it ends.
class FloodStream {
public:
    enum class Shape { Lines, OneLine };

    static constexpr int LineLength = 60;
    static constexpr char Reply[] = "OK\r\n";
    static constexpr int ReplyLength = sizeof(Reply) - 1;

    FloodStream(Shape shape, qint64 totalBytes, qint64 replyEvery = 0);

    // The next piece, at most maxBytes long; empty once the stream is done.
    FloodPiece next(qint64 maxBytes);

    qint64 total() const { return m_total; }
    qint64 produced() const { return m_produced; }

    // Line number n of the Lines shape, its CR LF included.
    static QByteArray line(qint64 number);

    // The first `bytes` of a stream of Lines without replies, in one piece.
    static QByteArray lines(qint64 bytes);

private:
    void appendLines(QByteArray &out, qint64 room);
    static void writeLine(qint64 number, char *out);
    void appendOneLine(QByteArray &out, qint64 room);

    Shape m_shape;
    qint64 m_total;
    qint64 m_replyEvery;
    qint64 m_nextReply;
    qint64 m_produced = 0;
    qint64 m_lineNumber = 0;
    int m_lineOffset = 0;
    char m_line[LineLength] = {};
};

// FNV-1a over bytes, continuing from `hash`; start with StreamHashSeed.
constexpr quint64 StreamHashSeed = 0xcbf29ce484222325ULL;
quint64 streamHash(quint64 hash, const char *data, qsizetype size);
