#pragma once

//
//  W A R N I N G
//  -------------
//
// This file is not part of the DATA view's API. It exists for the engine's
// own implementation and for its tests, which reach it through the
// kalvex_dataview_private target. It may change from version to version
// without notice, or even be removed.
//
// We mean it.
//

#include "textreader.h"

#include <QString>

#include <array>

// The DATA view's text as the rows of its hex view, made on demand from the
// text through TextReader: it keeps nothing of the text, so a row costs
// only while it is read (a visit of 16 characters).
//
// A row holds 16 bytes: the offset in hex, the bytes in hex, and the same
// bytes as characters, a character that shows nothing (a control
// character) as a dot:
//
//   00000010  44 41 54 41 0D 0A 4F 4B  20 31 37 0D 0A 00 FF 80  |DATA..OK 17....€|
//
// A byte is a character of the text as its ByteCharset holds it, the
// serial line's code page, so a character's position in the text is its
// byte's offset in the file that "Zapisz jako" writes in that code page. A
// character the code page has no byte for (only typing or pasting brings
// one) takes one place too and is never shown as a byte: "--" in hex, and
// itself among the characters (half of a surrogate pair: the pair on its
// first half, nothing on its second; "�" where a row parts the pair).
// Such a text has no such file (the save refuses it): its offsets are the
// text's positions.
//
// Every row but the last has the same width, so a place in the rows' text
// maps to a byte by arithmetic. As a TextReader the rows read as one text,
// the rows joined by LF, for assistive technology: its caret and selection
// are the text's, at the bytes' hex.
class HexRows final : public TextReader {
public:
    static constexpr int RowBytes = 16;

    // One place of a row.
    struct Cell {
        int byte = -1;           // -1: a character without a byte
        char16_t shown[2] = {};  // as the characters column shows it
        int shownLength = 0;     // 0 (a pair's second half), 1 or 2
    };
    struct Row {
        qsizetype number = 0;
        int count = 0;  // bytes on it
        std::array<Cell, RowBytes> cells{};
    };

    explicit HexRows(const TextReader &text);

    // Rows holding bytes: none for an empty text.
    qsizetype rowCount() const;
    Row row(qsizetype number) const;
    QString rowText(qsizetype number) const;
    // The rows holding [from, to), each ending in LF: what copying gives.
    QString rowsText(qsizetype from, qsizetype to) const;

    // Where the parts of a row are, in characters of its text.
    int offsetDigits() const;
    int hexColumn(int index) const { return offsetDigits() + 2 + 3 * index + (index >= 8); }
    int charColumn(int index) const { return offsetDigits() + 53 + index; }
    int rowWidth() const { return charColumn(RowBytes) + 1; }
    static QString hexText(const Cell &cell);

    // Positions in the text and in the rows' text: a byte is at its hex;
    // anywhere on a byte's hex or its character is that byte.
    qsizetype rowsPosition(qsizetype textPosition) const;
    qsizetype textPosition(qsizetype rowsPosition) const;

    // TextReader: the rows' text.
    qsizetype length() const override;
    QString mid(qsizetype position, qsizetype length) const override;
    void visit(qsizetype position, qsizetype length, const SpanVisitor &visit) const override;
    TextLine lineAt(qsizetype position) const override;
    qsizetype caret() const override { return rowsPosition(m_text.caret()); }
    qsizetype anchor() const override { return rowsPosition(m_text.anchor()); }

private:
    void appendRow(QString &out, qsizetype number) const;

    const TextReader &m_text;
};
