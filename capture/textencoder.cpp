#include "textencoder.h"

#include "codepage.h"

namespace {

// At most three bytes: no byte stands for a surrogate.
int toUtf8(char16_t c, char *out) {
    if (c < 0x80) {
        out[0] = char(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = char(0xC0 | (c >> 6));
        out[1] = char(0x80 | (c & 0x3F));
        return 2;
    }
    out[0] = char(0xE0 | (c >> 12));
    out[1] = char(0x80 | ((c >> 6) & 0x3F));
    out[2] = char(0x80 | (c & 0x3F));
    return 3;
}

}  // namespace

TextEncoder::TextEncoder(Encoding encoding, const ByteCharset &source)
    : m_encoding(encoding), m_source(source), m_codePage(*CodePage::charset()) {
    m_passThrough =
        encoding == Encoding::Windows1250 && source.characters() == m_codePage.characters();
}

bool TextEncoder::encode(const TextSpan &span, QByteArray &out) {
    if (m_failedAt >= 0)
        return false;
    if (span.isWide())
        return encodeWide(span.chars(), span.size(), out);
    const uchar *bytes = span.bytes();
    const qsizetype size = span.size();
    if (m_highSurrogate != 0)
        return fail(m_position - 1);
    if (m_passThrough) {
        out.append(reinterpret_cast<const char *>(bytes), size);
        m_position += size;
        return true;
    }
    const qsizetype start = out.size();
    out.resize(start + (m_encoding == Encoding::Utf8 ? 3 * size : size));
    char *to = out.data() + start;
    for (qsizetype i = 0; i < size; ++i) {
        const uchar byte = bytes[i];
        if (byte < 0x80) {  // ASCII in every code page
            *to++ = char(byte);
            continue;
        }
        const char16_t c = m_source.character(byte);
        if (m_encoding == Encoding::Utf8) {
            to += toUtf8(c, to);
        } else if (const int target = m_codePage.byteOf(c); target >= 0) {
            *to++ = char(target);
        } else {
            out.truncate(to - out.constData());
            return fail(m_position + i);
        }
    }
    out.truncate(to - out.constData());
    m_position += size;
    return true;
}

bool TextEncoder::encodeWide(const char16_t *chars, qsizetype size, QByteArray &out) {
    // Three bytes a character at most, and a pair whose first half came
    // with the span before puts all four of its bytes here.
    const qsizetype start = out.size();
    out.resize(start + (m_encoding == Encoding::Utf8 ? 3 * size + 1 : size));
    char *to = out.data() + start;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = chars[i];
        if (m_encoding == Encoding::Windows1250) {
            const int byte = m_codePage.byteOf(c);
            if (byte < 0) {
                out.truncate(to - out.constData());
                return fail(m_position + i);
            }
            *to++ = char(byte);
            continue;
        }
        // A pair may be split between two spans: its first half waits.
        if (m_highSurrogate != 0) {
            if (!QChar::isLowSurrogate(c)) {
                out.truncate(to - out.constData());
                return fail(m_position + i - 1);
            }
            const char32_t code = QChar::surrogateToUcs4(m_highSurrogate, c);
            *to++ = char(0xF0 | (code >> 18));
            *to++ = char(0x80 | ((code >> 12) & 0x3F));
            *to++ = char(0x80 | ((code >> 6) & 0x3F));
            *to++ = char(0x80 | (code & 0x3F));
            m_highSurrogate = 0;
        } else if (QChar::isHighSurrogate(c)) {
            m_highSurrogate = c;
        } else if (QChar::isLowSurrogate(c)) {
            out.truncate(to - out.constData());
            return fail(m_position + i);
        } else {
            to += toUtf8(c, to);
        }
    }
    out.truncate(to - out.constData());
    m_position += size;
    return true;
}

bool TextEncoder::finish() {
    if (m_failedAt >= 0)
        return false;
    if (m_highSurrogate != 0)
        return fail(m_position - 1);
    return true;
}

bool TextEncoder::fail(qsizetype at) {
    m_failedAt = at;
    return false;
}
