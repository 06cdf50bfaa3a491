#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <memory>

// The characters that single bytes stand for, as a serial line's code page
// has them: text made only of these characters is held one byte a character
// (TextStore), and received bytes go into the text as they came.
//
// Bytes 0-127 stand for ASCII in every code page the console speaks, and
// the line index and find rely on that: a CR or an LF is the same byte in
// every piece. No byte stands for a surrogate.
class ByteCharset {
public:
    using Table = std::array<char16_t, 256>;

    // Takes the character of every byte. Bytes 0-127 must be ASCII; bytes
    // 128-255 must be different characters, none of them ASCII or a
    // surrogate.
    explicit ByteCharset(const Table &characters);

    // Latin-1: byte n stands for U+00nn.
    static std::shared_ptr<const ByteCharset> latin1();

    char16_t character(uchar byte) const { return m_characters[byte]; }
    const Table &characters() const { return m_characters; }

    // The byte that stands for c, or -1.
    int byteOf(char16_t c) const {
        if (c < 0x80)
            return c;
        const uchar byte = m_bytes[c];
        return byte != 0 ? byte : -1;
    }
    // Whether every character of text has a byte.
    bool covers(QStringView text) const;

    // Writes the bytes of text, all of whose characters have one, to out.
    void encode(QStringView text, char *out) const;
    // Writes the characters of bytes to out, as many as there are bytes.
    void decode(QByteArrayView bytes, char16_t *out) const;
    // Appends the characters of bytes to text.
    void decodeAppend(QString &text, QByteArrayView bytes) const;

private:
    Table m_characters;
    // By character, the byte 128-255 standing for it; 0 for none.
    std::array<uchar, 0x10000> m_bytes{};
};
