#include "bytecharset.h"

#include "vectorblock.h"

// Text is mostly ASCII: sixteen characters that are all ASCII go through
// at once (VectorBlock), the rest through the tables.

namespace {

// Whether each of the block's eight characters is ASCII.
bool allAscii(VectorBlock chars) {
    return (chars & VectorBlock::splat16(0xFF80)).equal16(VectorBlock::zero()).mask() ==
           VectorBlock::AllBytes;
}

}  // namespace

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
    for (; end - c >= VectorBlock::Chars; c += VectorBlock::Chars) {
        if (allAscii(VectorBlock::load(c)))
            continue;
        for (int i = 0; i < VectorBlock::Chars; ++i) {
            if (byteOf(c[i]) < 0)
                return false;
        }
    }
    for (; c != end; ++c) {
        if (byteOf(*c) < 0)
            return false;
    }
    return true;
}

void ByteCharset::encode(QStringView text, char *out) const {
    const char16_t *c = text.utf16();
    const char16_t *const end = c + text.size();
    while (end - c >= VectorBlock::Bytes) {
        const VectorBlock low = VectorBlock::load(c);
        const VectorBlock next = VectorBlock::load(c + VectorBlock::Chars);
        if (allAscii(low | next)) {
            VectorBlock::narrow16(low, next).store(out);
            c += VectorBlock::Bytes;
            out += VectorBlock::Bytes;
            continue;
        }
        for (int i = 0; i < VectorBlock::Bytes; ++i) *out++ = char(byteOf(*c++));
    }
    while (c != end) *out++ = char(byteOf(*c++));
}

void ByteCharset::decode(QByteArrayView bytes, char16_t *out) const {
    const uchar *b = reinterpret_cast<const uchar *>(bytes.data());
    const uchar *const end = b + bytes.size();
    while (end - b >= VectorBlock::Bytes) {
        const VectorBlock block = VectorBlock::load(b);
        if (block.mask() == 0) {  // no byte above 127
            block.widenLow8().store(out);
            block.widenHigh8().store(out + VectorBlock::Chars);
            b += VectorBlock::Bytes;
            out += VectorBlock::Bytes;
            continue;
        }
        for (int i = 0; i < VectorBlock::Bytes; ++i) *out++ = m_characters[*b++];
    }
    while (b != end) *out++ = m_characters[*b++];
}

void ByteCharset::decodeAppend(QString &text, QByteArrayView bytes) const {
    const qsizetype start = text.size();
    text.resize(start + bytes.size());
    decode(bytes, reinterpret_cast<char16_t *>(text.data()) + start);
}
