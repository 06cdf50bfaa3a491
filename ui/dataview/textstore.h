#pragma once

#include <QString>
#include <QStringView>

#include <vector>

// The characters of the DATA view, kept in pieces of about PieceSize
// characters: growing by megabytes never copies what is already held, and an
// edit in the middle touches one piece. Text taken out by an edit is a store
// too, which the undo history keeps.
//
// Outside this class the text is reached only through size(), at(), mid()
// and visit(), never as the pieces themselves.
class TextStore {
public:
    static constexpr qsizetype PieceSize = 64 * 1024;

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }

    QChar at(qsizetype position) const;
    QString mid(qsizetype position, qsizetype length) const;
    QString toString() const;

    void append(QStringView text);
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

    // Calls visit(QStringView) for the consecutive parts of [position,
    // position + length), in order, until it returns false.
    template <typename Visit>
    void visit(qsizetype position, qsizetype length, Visit visit) const {
        qsizetype piece = pieceAt(position);
        while (length > 0 && piece < qsizetype(m_pieces.size())) {
            const qsizetype offset = position - m_starts[piece];
            const qsizetype take = qMin(length, m_pieces[piece].size() - offset);
            if (!visit(QStringView(m_pieces[piece]).mid(offset, take)))
                return;
            position += take;
            length -= take;
            ++piece;
        }
    }

private:
    qsizetype pieceAt(qsizetype position) const;
    // Cuts the piece holding position so that a piece starts there; returns
    // that piece's index (the piece count at the end).
    qsizetype splitAt(qsizetype position);
    void splitPiece(qsizetype piece);
    void renumberFrom(qsizetype piece);

    std::vector<QString> m_pieces;
    std::vector<qsizetype> m_starts;
    qsizetype m_size = 0;
};
