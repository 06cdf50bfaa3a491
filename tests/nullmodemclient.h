#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The Windows build's tests under Wine ask the Linux side for their devices
// (tests/wine/nullmodem.cpp): null-modem cables between two COM ports, and
// the device simulator on one. A request waits for its answer, running the
// event loop meanwhile; a failed one says why on the test's log.
namespace NullModem {

// The words of the answer after "ok", or nothing when the request failed.
std::optional<QStringList> request(const QString &line);

// Lists a COM port among the system's serial ports (the registry's
// HARDWARE\DEVICEMAP\SERIALCOMM, which Qt SerialPort reads under Wine), or
// takes it away, as a serial driver does when its device comes and goes.
bool list(const QString &port, bool present);

}  // namespace NullModem
