// Byte charsets for the tests of the text and of the DATA view, whose bytes
// 128-255 read through the wrong table show at once.
// Byte charsets for the engine's tests, whose bytes 128-255 read through the
// wrong table show at once.
#include "bytecharset.h"

#include <memory>

namespace TestCharsets {

// Bytes 128-255 stand for Cyrillic letters.
inline std::shared_ptr<const ByteCharset> cyrillic() {
    static const auto charset = [] {
        ByteCharset::Table table;
        for (int b = 0; b < 256; ++b) table[b] = char16_t(b < 0x80 ? b : 0x400 + b - 0x80);
        return std::make_shared<const ByteCharset>(table);
    }();
    return charset;
}

// Bytes 128-255 stand for the Polish letters where Windows-1250 has them,
// and for Thai letters elsewhere.
inline std::shared_ptr<const ByteCharset> polish() {
    static const auto charset = [] {
        ByteCharset::Table table;
        for (int b = 0; b < 256; ++b) table[b] = char16_t(b < 0x80 ? b : 0xE00 + b - 0x80);
        const char16_t letters[] = u"ąĄćĆęĘłŁńŃóÓśŚźŹżŻ";
        const unsigned char bytes[] = {0xB9, 0xA5, 0xE6, 0xC6, 0xEA, 0xCA, 0xB3, 0xA3, 0xF1,
                                       0xD1, 0xF3, 0xD3, 0x9C, 0x8C, 0x9F, 0x8F, 0xBF, 0xAF};
        for (int i = 0; i < 18; ++i) table[bytes[i]] = letters[i];
        return std::make_shared<const ByteCharset>(table);
    }();
    return charset;
}

}  // namespace TestCharsets
