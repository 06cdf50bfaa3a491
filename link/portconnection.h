#pragma once

#include <QString>

class MSComm;

// Opening and closing the one serial port. Both run their steps in order and
// stop at the first that fails, leaving the earlier steps in effect; the
// failure reaches the caller as CommError.
namespace PortConnection {

inline constexpr auto kLineSettings = "9600,N,8,1";

// Opens the port whose number the operator typed. Fails for a text that is
// no 16-bit number, a number the control refuses, an open port (the number
// of an open port never changes) and a port that cannot be opened.
void open(MSComm &port, const QString &portNumberText);

// Closes the port if it is open; closing a closed port does nothing, except
// that it ends the waiting for a vanished device (mscomm.h).
void close(MSComm &port);

}  // namespace PortConnection
