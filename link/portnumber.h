#pragma once

#include <QString>

#include <optional>

namespace PortNumber {

// The port number typed by the operator, as a 16-bit signed number. Blanks
// (spaces and tabs) around it and one leading sign are accepted; anything
// else fails: an empty text, letters, a fraction, group separators, digits
// other than ASCII ones, or a value outside -32768..32767.
std::optional<qint16> parse(const QString &text);

// The serial device that port number n names: the environment variable
// RS232_PORT_<n> when it is set, otherwise the platform's n-th serial port.
QString deviceName(int number);

}  // namespace PortNumber
