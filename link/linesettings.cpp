#include "linesettings.h"

#include "commerror.h"

#include <QStringList>

namespace {

QSerialPort::Parity parityFromLetter(const QString &field) {
    const QString letter = field.trimmed().toUpper();
    if (letter == u"N")
        return QSerialPort::NoParity;
    if (letter == u"E")
        return QSerialPort::EvenParity;
    if (letter == u"O")
        return QSerialPort::OddParity;
    if (letter == u"M")
        return QSerialPort::MarkParity;
    if (letter == u"S")
        return QSerialPort::SpaceParity;
    throw CommError("invalid parity in line settings");
}

QChar letterFromParity(QSerialPort::Parity parity) {
    switch (parity) {
        case QSerialPort::EvenParity:
            return u'E';
        case QSerialPort::OddParity:
            return u'O';
        case QSerialPort::MarkParity:
            return u'M';
        case QSerialPort::SpaceParity:
            return u'S';
        default:
            return u'N';
    }
}

int positiveNumber(const QString &field) {
    bool ok = false;
    const int value = field.trimmed().toInt(&ok);
    if (!ok || value <= 0)
        throw CommError("invalid number in line settings");
    return value;
}

}  // namespace

LineSettings LineSettings::parse(const QString &text) {
    const QStringList fields = text.split(u',');
    if (fields.size() != 4)
        throw CommError("line settings need four fields");

    LineSettings s;
    s.baudRate = positiveNumber(fields[0]);
    s.parity = parityFromLetter(fields[1]);

    const int bits = positiveNumber(fields[2]);
    if (bits < 5 || bits > 8)
        throw CommError("invalid data bits in line settings");
    s.dataBits = static_cast<QSerialPort::DataBits>(bits);

    const QString stop = fields[3].trimmed();
    if (stop == u"1")
        s.stopBits = QSerialPort::OneStop;
    else if (stop == u"1.5")
        s.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == u"2")
        s.stopBits = QSerialPort::TwoStop;
    else
        throw CommError("invalid stop bits in line settings");
    return s;
}

QString LineSettings::toString() const {
    const QString stop = stopBits == QSerialPort::OneAndHalfStop ? QStringLiteral("1.5")
                                                                 : QString::number(int(stopBits));
    return QStringLiteral("%1,%2,%3,%4")
        .arg(baudRate)
        .arg(letterFromParity(parity))
        .arg(int(dataBits))
        .arg(stop);
}
