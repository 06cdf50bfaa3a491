#include "codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <array>

namespace {

constexpr auto kCodecName = "windows-1250";

struct Tables {
    bool valid = false;
    std::array<char16_t, 256> toUnicode{};
    // Inverse of toUnicode over the whole BMP; 0 means "not encodable" except
    // for U+0000 itself, which is handled separately.
    std::array<unsigned char, 0x10000> fromUnicode{};

    Tables() {
        QStringDecoder decoder(kCodecName);
        valid = decoder.isValid();
        for (int byte = 0; byte < 256; ++byte) {
            char16_t ch = char16_t(byte);  // undefined bytes: same-valued control
            if (valid && byte >= 0x80) {
                const char b = char(byte);
                const QString s = decoder.decode(QByteArrayView(&b, 1));
                if (s.size() == 1 && s.at(0) != QChar::ReplacementCharacter &&
                    s.at(0) != QChar(0x1A))
                    ch = s.at(0).unicode();
                decoder.resetState();
            }
            toUnicode[byte] = ch;
        }
        for (int byte = 255; byte >= 0; --byte)
            fromUnicode[toUnicode[byte]] = static_cast<unsigned char>(byte);
    }
};

const Tables &tables() {
    static const Tables t;
    return t;
}

}  // namespace

namespace CodePage {

bool isValid() {
    return tables().valid;
}

const std::array<char16_t, 256> &characters() {
    return tables().toUnicode;
}

void decodeAppend(QString &out, const char *data, qsizetype size) {
    const auto &map = tables().toUnicode;
    const qsizetype start = out.size();
    out.resize(start + size);
    QChar *dst = out.data() + start;
    for (qsizetype i = 0; i < size; ++i) dst[i] = QChar(map[static_cast<unsigned char>(data[i])]);
}

QString decode(const char *data, qsizetype size) {
    QString out;
    decodeAppend(out, data, size);
    return out;
}

QByteArray encode(const QString &text) {
    const auto &t = tables();
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;  // one character outside the BMP is one "?"
            out.append('?');
            continue;
        }
        const unsigned char byte = t.fromUnicode[ch.unicode()];
        if (byte == 0 && ch.unicode() != 0)
            out.append('?');
        else
            out.append(char(byte));
    }
    return out;
}

}  // namespace CodePage
