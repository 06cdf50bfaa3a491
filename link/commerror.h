#pragma once

#include <QString>

#include <stdexcept>

// The one failure type of the serial port control. Callers catch it; which
// failure it was is only of interest to a log, never to the program's flow.
// Its text is the reason for that log, e.g.
// "port 3 (/dev/ttyUSB0): Permission denied".
class CommError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    explicit CommError(const QString &reason) : std::runtime_error(reason.toStdString()) {}

    QString reason() const { return QString::fromUtf8(what()); }
};
