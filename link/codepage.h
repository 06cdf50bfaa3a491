#pragma once

#include <QByteArray>
#include <QString>

#include <array>

// One byte per character on the line, in Windows-1250, both ways.
//
// Every byte 0-255 decodes to exactly one character and encodes back to the
// same byte; the five bytes the code page leaves undefined (81, 83, 88, 90,
// 98) map to the C1 control characters of the same value. A character the
// code page cannot encode is sent as "?".
namespace CodePage {

// The character of every byte.
const std::array<char16_t, 256> &characters();

QString decode(const char *data, qsizetype size);
inline QString decode(const QByteArray &bytes) {
    return decode(bytes.constData(), bytes.size());
}

QByteArray encode(const QString &text);

}  // namespace CodePage
