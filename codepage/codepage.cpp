#include "codepage.h"

namespace {

// Bytes 128-255 of Windows-1250; the five it leaves undefined stand for the
// C1 control characters of the same value. A table of our own rather than a
// converter's: building one from a converter loads its data (a megabyte of
// ICU) into every console at start.
constexpr char16_t kUpperHalf[128] = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  // 98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  // A0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  // A8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  // B8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  // C0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  // C8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  // D0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  // D8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  // E0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  // E8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  // F0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,  // F8
};

ByteCharset::Table table() {
    ByteCharset::Table characters{};
    for (int byte = 0; byte < 0x80; ++byte) characters[byte] = char16_t(byte);
    for (int byte = 0x80; byte < 0x100; ++byte) characters[byte] = kUpperHalf[byte - 0x80];
    return characters;
}

}  // namespace

namespace CodePage {

const std::shared_ptr<const ByteCharset> &charset() {
    static const auto windows1250 = std::make_shared<const ByteCharset>(table());
    return windows1250;
}

QString decode(const char *data, qsizetype size) {
    QString out;
    charset()->decodeAppend(out, QByteArrayView(data, size));
    return out;
}

QByteArray encode(const QString &text) {
    const ByteCharset &code = *charset();
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;  // one character outside the BMP is one "?"
        const int byte = code.byteOf(ch.unicode());
        out.append(byte >= 0 ? char(byte) : '?');
    }
    return out;
}

}  // namespace CodePage
