#include "bytecharset.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Text is mostly ASCII: where the processor has SSE2, sixteen characters
// that are all ASCII go through at once, the rest through the tables.

ByteCharset::ByteCharset(const Table &characters) : m_characters(characters) {
    for (int byte = 0; byte < 0x80; ++byte) Q_ASSERT(m_characters[byte] == byte);
    for (int byte = 0x80; byte < 0x100; ++byte) {
        const char16_t c = m_characters[byte];
        Q_ASSERT(c >= 0x80 && !QChar::isSurrogate(c) && m_bytes[c] == 0);
        m_bytes[c] = uchar(byte);
    }
}

std::shared_ptr<const ByteCharset> ByteCharset::latin1() {
    static const std::shared_ptr<const ByteCharset> charset = [] {
        Table table;
        for (int byte = 0; byte < 0x100; ++byte) table[byte] = char16_t(byte);
        return std::make_shared<const ByteCharset>(table);
    }();
    return charset;
}

bool ByteCharset::covers(QStringView text) const {
    const char16_t *c = text.utf16();
    const char16_t *const end = c + text.size();
#ifdef __SSE2__
    const __m128i high = _mm_set1_epi16(short(0xFF80));
    for (; end - c >= 8; c += 8) {
        const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(c));
        const __m128i beyond = _mm_and_si128(chars, high);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(beyond, _mm_setzero_si128())) == 0xFFFF)
            continue;
        for (int i = 0; i < 8; ++i) {
            if (byteOf(c[i]) < 0)
                return false;
        }
    }
#endif
    for (; c != end; ++c) {
        if (byteOf(*c) < 0)
            return false;
    }
    return true;
}

void ByteCharset::encode(QStringView text, char *out) const {
    const char16_t *c = text.utf16();
    const char16_t *const end = c + text.size();
#ifdef __SSE2__
    const __m128i high = _mm_set1_epi16(short(0xFF80));
    while (end - c >= 16) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(c));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(c + 8));
        const __m128i beyond = _mm_and_si128(_mm_or_si128(low, next), high);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(beyond, _mm_setzero_si128())) == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_packus_epi16(low, next));
            c += 16;
            out += 16;
            continue;
        }
        for (int i = 0; i < 16; ++i) *out++ = char(byteOf(*c++));
    }
#endif
    while (c != end) *out++ = char(byteOf(*c++));
}

void ByteCharset::decode(QByteArrayView bytes, char16_t *out) const {
    const uchar *b = reinterpret_cast<const uchar *>(bytes.data());
    const uchar *const end = b + bytes.size();
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    while (end - b >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b));
        if (_mm_movemask_epi8(block) == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(block, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_unpackhi_epi8(block, zero));
            b += 16;
            out += 16;
            continue;
        }
        for (int i = 0; i < 16; ++i) *out++ = m_characters[*b++];
    }
#endif
    while (b != end) *out++ = m_characters[*b++];
}

void ByteCharset::decodeAppend(QString &text, QByteArrayView bytes) const {
    const qsizetype start = text.size();
    text.resize(start + bytes.size());
    decode(bytes, reinterpret_cast<char16_t *>(text.data()) + start);
}
