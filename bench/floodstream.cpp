#include "floodstream.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kAlphabetSize = sizeof(kAlphabet) - 1;

}  // namespace

FloodStream::FloodStream(Shape shape, qint64 totalBytes, qint64 replyEvery)
    : m_shape(shape),
      m_total(qMax<qint64>(totalBytes, 0)),
      m_replyEvery(shape == Shape::Lines ? qMax<qint64>(replyEvery, 0) : 0),
      m_nextReply(m_replyEvery) {}

FloodPiece FloodStream::next(qint64 maxBytes) {
    FloodPiece piece;
    const qint64 left = m_total - m_produced;
    if (left <= 0 || maxBytes <= 0)
        return piece;

    if (m_replyEvery > 0 && m_lineOffset == 0 && m_produced >= m_nextReply) {
        while (m_nextReply <= m_produced) m_nextReply += m_replyEvery;
        piece.bytes = QByteArray(Reply, qMin<qint64>(ReplyLength, left));
        piece.reply = true;
        m_produced += piece.bytes.size();
        return piece;
    }

    const qint64 room = qMin(maxBytes, left);
    piece.bytes.reserve(room);
    if (m_shape == Shape::Lines)
        appendLines(piece.bytes, room);
    else
        appendOneLine(piece.bytes, room);
    m_produced += piece.bytes.size();
    return piece;
}

// Whole or partial lines up to `room` bytes, stopping at the end of the line
// that reached the next reply.
void FloodStream::appendLines(QByteArray &out, qint64 room) {
    while (room > 0) {
        if (m_lineOffset == 0)
            writeLine(m_lineNumber, m_line);
        const int take = int(qMin<qint64>(room, LineLength - m_lineOffset));
        out.append(m_line + m_lineOffset, take);
        m_lineOffset += take;
        room -= take;
        if (m_lineOffset < LineLength)
            continue;
        m_lineOffset = 0;
        ++m_lineNumber;
        if (m_replyEvery > 0 && m_produced + out.size() >= m_nextReply)
            break;
    }
}

void FloodStream::appendOneLine(QByteArray &out, qint64 room) {
    const qsizetype start = out.size();
    out.resize(start + room);
    char *dst = out.data() + start;
    int next = int((m_produced + start) % kAlphabetSize);
    for (qint64 i = 0; i < room; ++i) {
        dst[i] = kAlphabet[next];
        next = next + 1 == kAlphabetSize ? 0 : next + 1;
    }
}

QByteArray FloodStream::line(qint64 number) {
    char text[LineLength];
    writeLine(number, text);
    return QByteArray(text, LineLength);
}

// Written in place, digit by digit: the device's side of a flood makes
// millions of these, and its time is taken from the same two processors as
// the console's.
void FloodStream::writeLine(qint64 number, char *out) {
    qint64 digits = number % 100'000'000;
    for (int i = 7; i >= 0; --i) {
        out[i] = char('0' + digits % 10);
        digits /= 10;
    }
    out[8] = ' ';
    int next = int(number % kAlphabetSize);
    for (int i = 9; i < LineLength - 2; ++i) {
        out[i] = kAlphabet[next];
        next = next + 1 == kAlphabetSize ? 0 : next + 1;
    }
    out[LineLength - 2] = '\r';
    out[LineLength - 1] = '\n';
}

QByteArray FloodStream::lines(qint64 bytes) {
    FloodStream stream(Shape::Lines, bytes);
    return stream.next(bytes).bytes;
}

quint64 streamHash(quint64 hash, const char *data, qsizetype size) {
    for (qsizetype i = 0; i < size; ++i) {
        hash ^= static_cast<unsigned char>(data[i]);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}
