#pragma once

#include <QString>

#include <optional>

// One serial device, one program, whatever path names it.
//
// Before the port is opened, the path is resolved to the real device, and the
// device is refused when its UUCP lock file (LCK..<real name> in the lock
// directories) names a live process, or when another process holds flock()
// on it. A lock file whose process has ended is removed and never blocks.
// The claim itself is a descriptor of our own on the real device with
// flock(LOCK_EX) held on it, plus the lock file, which Qt SerialPort creates
// under the same real name when it is given the resolved path; Qt also sets
// TIOCEXCL. So minicom (lock files), picocom (flock) and a second console
// refuse the device while it is open, through any path and as root.
//
// A stale lock file that this user may not remove (root's, in the sticky
// /run/lock) would make Qt SerialPort refuse the device for good: it takes
// its own lock under the same name and gives up when it cannot remove the
// old one. Then, on Linux, the claim hands Qt SerialPort the device's path
// through the process's own root (/proc/self/root/dev/ttyUSB0), whose lock
// file has another name that is still the device's own; flock() and
// TIOCEXCL still keep other programs out, and note() says why. Elsewhere
// the device is refused with that reason.
//
// On Windows the system itself opens a COM port exclusively; there the claim
// does nothing and the path is used as given.
class PortLock {
public:
    PortLock() = default;
    ~PortLock() { release(); }
    PortLock(const PortLock &) = delete;
    PortLock &operator=(const PortLock &) = delete;

    // Claims the real device (PortLocks::realDevice()). On failure throws
    // CommError, its reason prefixed with `where` ("port 3 (/dev/ttyUSB0)").
    // Costs a few system calls and reads of small files.
    void acquire(const QString &realDevice, const QString &where);

    // Gives the claim up; the lock file goes with Qt SerialPort's close.
    void release();

    // The path Qt SerialPort is to open for the claimed device.
    QString openPath() const { return m_openPath; }

    // Why the claim had to go around a lock file, for the log; empty when it
    // did not.
    QString note() const { return m_note; }

private:
    int m_fd = -1;
    QString m_openPath;
    QString m_note;
};

// What the claim looks at, for a view that must not open the port.
namespace PortLocks {

// The real device behind a path (symlinks resolved), or empty when the path
// leads nowhere.
QString realDevice(const QString &device);

// The process that holds a device, by its lock file or its flock().
struct Holder {
    qint64 pid = 0;   // 0 when the lock names no readable process id
    QString program;  // the process's name where the system tells it
};

// The live process whose UUCP lock file claims the real device.
std::optional<Holder> lockFileHolder(const QString &realDevice);

// The process that holds flock() on the real device (Linux; elsewhere never).
std::optional<Holder> flockHolder(const QString &realDevice);

}  // namespace PortLocks
