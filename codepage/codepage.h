#pragma once

#include "bytecharset.h"

#include <QByteArray>
#include <QString>

#include <memory>

// The serial line's code page, Windows-1250: one byte a character, both
// ways, from one table.
//
// Every byte 0-255 decodes to exactly one character and encodes back to the
// same byte; the five bytes the code page leaves undefined (81, 83, 88, 90,
// 98) map to the C1 control characters of the same value. What is sent
// encodes a character the code page lacks as "?"; what is saved refuses it
// (TextEncoder).
namespace CodePage {

// The code page as the DATA view holds received bytes, and as the port and
// a save read it: one instance, shared.
const std::shared_ptr<const ByteCharset> &charset();

QString decode(const char *data, qsizetype size);
inline QString decode(const QByteArray &bytes) {
    return decode(bytes.constData(), bytes.size());
}

// One byte a character; "?" for a character the code page lacks (one for a
// surrogate pair).
QByteArray encode(const QString &text);

}  // namespace CodePage
