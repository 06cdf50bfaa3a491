#pragma once

#include "bytecharset.h"
#include "textspan.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <memory>
#include <vector>

#ifndef KALVEX_TEXTSTORE_PIECE_SIZE
#define KALVEX_TEXTSTORE_PIECE_SIZE (64 * 1024)
#endif

// The characters of the DATA view, kept in pieces of about PieceSize
// characters: growing by megabytes never copies what is already held, and an
// edit in the middle touches one piece. Text taken out by an edit is a store
// too, which the undo history keeps.
//
// A piece holds one byte a character, in the store's ByteCharset (the serial
// line's code page), as long as every character it holds has a byte: all
// received text, and nearly all that is typed. A piece given any other
// character holds two bytes a character (UTF-16), that piece alone, until
// the last such character leaves it. Received bytes never go into such a
// piece: they begin one of their own.
//
// Characters are decoded only where they are read out: at(), mid() and the
// spans that visit() hands out. Outside this class the text is reached only
// through those, never as the pieces themselves.
class TextStore {
public:
    static constexpr qsizetype PieceSize = KALVEX_TEXTSTORE_PIECE_SIZE;

    explicit TextStore(std::shared_ptr<const ByteCharset> charset = ByteCharset::latin1());

    const ByteCharset &charset() const { return *m_charset; }
    // Holds the same characters in another charset; they are re-encoded.
    void setCharset(std::shared_ptr<const ByteCharset> charset);

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }

    QChar at(qsizetype position) const;
    QString mid(qsizetype position, qsizetype length) const;
    QString toString() const;

    void append(QStringView text);
    // Characters as bytes of the store's charset, one a character, as they
    // came from the line.
    void append(QByteArrayView bytes);
    void insert(qsizetype position, QStringView text);
    void remove(qsizetype position, qsizetype length);
    // Takes [position, position + length) out and returns it as a store of
    // its own; put() puts such a store back in at a position. A stretch of
    // a piece or more moves whole pieces over rather than copying them, so
    // taking out and putting back a hundred megabytes costs about as much
    // as a few pieces.
    TextStore take(qsizetype position, qsizetype length);
    void put(qsizetype position, TextStore &&text);
    // Empties the store and gives its memory back.
    void clear();

    // Bytes the pieces hold, spare room included.
    qsizetype allocatedBytes() const;
    // Characters held two bytes a character.
    qsizetype wideCharacters() const;

    // Calls visit(const TextSpan &) for the consecutive spans of [position,
    // position + length), in order, until it returns false.
    template <typename Visit>
    void visit(qsizetype position, qsizetype length, Visit visit) const {
        qsizetype piece = pieceAt(position);
        while (length > 0 && piece < qsizetype(m_pieces.size())) {
            const qsizetype offset = position - m_starts[piece];
            const qsizetype take = qMin(length, m_pieces[piece].size() - offset);
            if (!visit(m_pieces[piece].span(offset, take, m_charset.get())))
                return;
            position += take;
            length -= take;
            ++piece;
        }
    }

private:
    // One byte a character, or UTF-16 once it holds a character without one.
    class Piece {
    public:
        // One byte a character, with room for a whole piece.
        static Piece reserved();

        bool isWide() const { return m_wide; }
        qsizetype size() const { return m_wide ? m_chars.size() : m_bytes.size(); }
        qsizetype allocatedBytes() const;
        TextSpan span(qsizetype offset, qsizetype length, const ByteCharset *charset) const;

        // Appending bytes needs a piece that is not wide.
        void append(QByteArrayView bytes);
        void insert(qsizetype offset, QStringView text, const ByteCharset &charset);
        void remove(qsizetype offset, qsizetype length);
        // The characters from offset on move to the piece returned.
        Piece cut(qsizetype offset);
        Piece copy(qsizetype offset, qsizetype length) const;
        void widen(const ByteCharset &charset);
        // Back to one byte a character if every character has one.
        void narrowIfCovered(const ByteCharset &charset);

    private:
        static qsizetype roomFor(qsizetype needed, qsizetype capacity);

        QByteArray m_bytes;
        QString m_chars;
        bool m_wide = false;
    };

    qsizetype pieceAt(qsizetype position) const;
    // Cuts the piece holding position so that a piece starts there; returns
    // that piece's index (the piece count at the end).
    qsizetype splitAt(qsizetype position);
    void splitPiece(qsizetype piece);
    void renumberFrom(qsizetype piece);
    void pushPiece(Piece &&piece);

    std::vector<Piece> m_pieces;
    std::vector<qsizetype> m_starts;
    qsizetype m_size = 0;
    std::shared_ptr<const ByteCharset> m_charset;
};
