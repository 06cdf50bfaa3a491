// Differential fuzzing of the port number conversion against a plain
// reference: blanks, one sign, ASCII digits, the 16-bit range.
#include "portnumber.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

std::optional<long> reference(const QString &text) {
    qsizetype b = 0, e = text.size();
    while (b < e && (text[b] == u' ' || text[b] == u'\t')) ++b;
    while (e > b && (text[e - 1] == u' ' || text[e - 1] == u'\t')) --e;
    bool negative = false;
    if (b < e && (text[b] == u'+' || text[b] == u'-'))
        negative = text[b++] == u'-';
    if (b == e)
        return std::nullopt;
    // Compare as a digit string: strip leading zeros, then at most 5 digits.
    QString digits;
    for (qsizetype i = b; i < e; ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return std::nullopt;
        digits.append(text[i]);
    }
    while (digits.size() > 1 && digits.startsWith(u'0')) digits.remove(0, 1);
    if (digits.size() > 5)
        return std::nullopt;
    const long value = (negative ? -1 : 1) * digits.toLong();
    if (value < -32768 || value > 32767)
        return std::nullopt;
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Half the inputs as UTF-16 (any character), half as Latin-1 (denser in
    // digits and signs).
    QString text;
    if (size > 0 && (data[0] & 1))
        text = QString(reinterpret_cast<const QChar *>(data + 1), qsizetype((size - 1) / 2));
    else
        text = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));

    const auto got = PortNumber::parse(text);
    const auto want = reference(text);
    if (got.has_value() != want.has_value() || (got && long(*got) != *want))
        std::abort();
    return 0;
}
