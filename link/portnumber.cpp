#include "portnumber.h"

#include <QByteArray>
#include <QtGlobal>

namespace PortNumber {

std::optional<qint16> parse(const QString &text) {
    auto isBlank = [](QChar c) { return c == u' ' || c == u'\t'; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin))) ++begin;
    while (end > begin && isBlank(text.at(end - 1))) --end;

    bool negative = false;
    if (begin < end && (text.at(begin) == u'+' || text.at(begin) == u'-')) {
        negative = text.at(begin) == u'-';
        ++begin;
    }
    if (begin == end)
        return std::nullopt;

    // Accumulate with a bound so that a text of any length cannot overflow.
    long value = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > 32768)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < -32768 || value > 32767)
        return std::nullopt;
    return static_cast<qint16>(value);
}

QString deviceName(int number) {
    const QByteArray variable = "RS232_PORT_" + QByteArray::number(number);
    const QString mapped = qEnvironmentVariable(variable.constData());
    if (!mapped.isEmpty())
        return mapped;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

}  // namespace PortNumber
