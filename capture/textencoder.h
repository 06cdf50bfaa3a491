#pragma once

#include "textspan.h"

#include <QByteArray>

// The DATA view's text as the bytes of a file, span by span, in one of the
// two encodings a save offers. Line ends stay exactly as they are.
// - Windows-1250: one byte a character. Received text is held as the bytes
//   that came, and they are written back as those bytes. A character the
//   code page lacks (only typing or pasting brings one) stops the encoding:
//   it is never replaced.
// - UTF-8: every character. Only half of a surrogate pair stops it.
class TextEncoder {
public:
    enum class Encoding { Windows1250, Utf8 };

    // `source`: what the spans' single bytes stand for; Windows-1250 is the
    // line's code page (codepage.h).
    TextEncoder(Encoding encoding, const ByteCharset &source);

    // Appends the bytes of a span to out. Returns false at the first
    // character the encoding cannot hold, with out holding the bytes of
    // the characters before it; failedAt() tells where it is.
    bool encode(const TextSpan &span, QByteArray &out);
    // After the last span; false when the text ends in half a surrogate pair.
    bool finish();

    // Characters encoded so far.
    qsizetype position() const { return m_position; }
    // The position of the character that stopped the encoding, or -1.
    qsizetype failedAt() const { return m_failedAt; }

private:
    bool encodeWide(const char16_t *chars, qsizetype size, QByteArray &out);
    bool fail(qsizetype at);

    Encoding m_encoding;
    const ByteCharset &m_source;
    const ByteCharset &m_codePage;
    bool m_passThrough = false;    // Windows-1250 bytes to Windows-1250
    char16_t m_highSurrogate = 0;  // UTF-8: a pair's first half, waiting
    qsizetype m_position = 0;
    qsizetype m_failedAt = -1;
};
