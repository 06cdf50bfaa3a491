#pragma once

#include "bytecharset.h"

#include <QChar>
#include <QString>
#include <QStringView>

// Consecutive characters of a text, as the text library hands them out to
// be read in order (TextStore::visit(), TextSnapshot::visit()): bytes of a
// ByteCharset, one a character, or UTF-16 code units. Readers take either
// form as it is, so received text is never decoded to be searched, indexed
// or saved.
//
// A span points into the text it came from and is valid until that text
// changes. Copying one costs four words.
class TextSpan {
public:
    TextSpan(const uchar *bytes, qsizetype size, const ByteCharset *charset)
        : m_data(bytes), m_size(size), m_wide(false), m_charset(charset) {}
    TextSpan(const char16_t *chars, qsizetype size, const ByteCharset *charset)
        : m_data(chars), m_size(size), m_wide(true), m_charset(charset) {}

    qsizetype size() const { return m_size; }
    bool isWide() const { return m_wide; }
    // What the bytes stand for.
    const ByteCharset &charset() const { return *m_charset; }
    const uchar *bytes() const { return static_cast<const uchar *>(m_data); }
    const char16_t *chars() const { return static_cast<const char16_t *>(m_data); }
    QChar at(qsizetype i) const {
        return m_wide ? QChar(chars()[i]) : QChar(m_charset->character(bytes()[i]));
    }
    // The characters, decoded where they are bytes.
    void appendTo(QString &text) const {
        if (m_wide)
            text.append(QStringView(chars(), m_size));
        else
            m_charset->decodeAppend(text, QByteArrayView(bytes(), m_size));
    }
    // The characters [offset, offset + length) of the span.
    TextSpan mid(qsizetype offset, qsizetype length) const {
        return m_wide ? TextSpan(chars() + offset, length, m_charset)
                      : TextSpan(bytes() + offset, length, m_charset);
    }

private:
    const void *m_data;
    qsizetype m_size;
    bool m_wide;
    const ByteCharset *m_charset;
};
