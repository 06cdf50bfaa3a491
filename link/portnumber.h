#pragma once

#include "portrecord.h"
#include "sysfsports.h"

#include <QList>
#include <QMap>
#include <QProcessEnvironment>
#include <QString>

#include <optional>

// Port numbers: the text the operator types, and the serial device that a
// number names.
//
// A number n names the device in RS232_PORT_<n> when that variable is set.
// Otherwise, on Unix, it names the n-th serial port that the system reports,
// in a fixed order: built-in UARTs (ttyS*, then ttyAMA*, ttymxc* and the
// like), USB adapters (ttyUSB*), USB CDC devices (ttyACM*), then anything
// else; numerically inside each kind. Phantom ports (a device node without
// hardware) and pseudo-terminals get no number; on macOS a tty.*/cu.* pair
// counts once, as cu.*. On Windows n names COM<n>.
//
// The numbering itself is a pure function of a port list and the mappings,
// so that any list can be numbered without the hardware; systemPorts() reads
// the system afresh on every call (portdirectory.h puts the two together).
namespace PortNumber {

inline constexpr int kFirst = 1;
inline constexpr int kLast = 255;

// The port number typed by the operator, as a 16-bit signed number. Blanks
// (spaces and tabs) around it and one leading sign are accepted; anything
// else fails: an empty text, letters, a fraction, group separators, digits
// other than ASCII ones, or a value outside -32768..32767.
std::optional<qint16> parse(const QString &text);

enum class Scheme {
    Ordered,    // n is the n-th port in the fixed order (Unix)
    ComNumber,  // n is COM<n> (Windows)
};

// The system's own scheme: Ordered on Unix, ComNumber on Windows.
extern const Scheme kNativeScheme;

// What one number opens now.
struct NumberedPort {
    int number = 0;
    QString device;                    // the path or name that opening the number uses
    std::optional<PortRecord> port;    // the reported port behind it, when there is one
    bool mapped = false;               // named by RS232_PORT_<number>
    std::optional<PortRecord> hidden;  // the reported port that the mapping hides
};

// The operator's mappings: port number n names the device in RS232_PORT_<n>.
using Mappings = QMap<int, QString>;

// The variable that maps number n: RS232_PORT_<n>.
QString mappingVariable(int number);

// What opening a reported port uses: its path (/dev/ttyUSB0) where ports are
// numbered in order, its name (COM5, not \\.\COM5) where n is COM<n>.
QString deviceOf(const PortRecord &port, Scheme scheme = kNativeScheme);

// The mappings an environment holds: every RS232_PORT_<n> with n a port
// number written plainly (no sign, no leading zero) and a value that is not
// empty.
Mappings mappingsFrom(const QProcessEnvironment &env);

// Every number that names a port, in ascending order.
QList<NumberedPort> numberPorts(const QList<PortRecord> &ports, const Mappings &mappings,
                                Scheme scheme = kNativeScheme);

// What number n opens, or nothing when n names no port.
std::optional<NumberedPort> numberedPort(int number, const QList<PortRecord> &ports,
                                         const Mappings &mappings, Scheme scheme = kNativeScheme);

// The serial ports the system reports now: on Unix read from sysfs under
// `roots` (sysfsports.h), never opening a port; on Windows through Qt
// SerialPort, and `roots` is not used.
QList<PortRecord> systemPorts(const SysfsPorts::Roots &roots = {});

}  // namespace PortNumber
