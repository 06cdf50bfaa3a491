#pragma once

#include <QSerialPort>
#include <QString>

// The four fields of a line settings text such as "9600,N,8,1".
struct LineSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    // Throws CommError on a malformed text.
    static LineSettings parse(const QString &text);
    QString toString() const;
};
