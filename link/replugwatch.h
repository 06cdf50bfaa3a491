#pragma once

#include "portdirectory.h"
#include "portnumber.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

class QFileSystemWatcher;

// Waits for the device of a port that vanished (an adapter pulled out) to
// come back, and tells where it is then. It only tells: whoever started it
// decides what to do, and stops it.
//
// "The same device" is the one with the same USB serial number where the
// port has one, whatever its name now; otherwise the same path; for a
// number mapped with RS232_PORT_<n>, the path the mapping names. A device
// with another serial number under the old name is not the same.
//
// Nothing spins: the folder where the device's path appears is watched
// (QFileSystemWatcher), and a look is due shortly after it changes, and
// once a second besides, for what a folder does not show (a node whose
// permissions come a moment after it, a COM port). Cost while waiting: one
// inotify watch and a timer that fires once a second; a look lists the
// ports (sysfs) or resolves one path. Ports are looked up in the directory
// it is given.
class ReplugWatch : public QObject {
    Q_OBJECT

public:
    explicit ReplugWatch(PortDirectory ports, QObject *parent = nullptr);

    // Whether the device of `port` can come back: a pseudo-terminal named by
    // its own node (/dev/pts/N) cannot, its number goes to the next terminal
    // opened, whatever that is. A link to one (the simulator's) can, once
    // the link is made anew: the old one, left by a simulator that was
    // killed, may lead to another program's terminal by then.
    static bool canComeBack(const PortNumber::NumberedPort &port);

    // Starts waiting for `port`, as it was when it was open.
    void start(const PortNumber::NumberedPort &port);
    void stop();

    // The awaited port with the path of its device now, if it is back.
    std::optional<PortNumber::NumberedPort> find();

    // Where the device of `awaited`, last known as `path`, is among `ports`
    // (the system's listing now): what opening it uses now, or nothing when
    // it is not listed. A device with a serial number is found by it under
    // whatever name it has now; any other by its path, or on Windows by its
    // COM name (COM5 and \\.\COM5 alike, in any case).
    static std::optional<QString> findAmong(const PortNumber::NumberedPort &awaited,
                                            const QString &path,
                                            const QList<PortNumber::PortRecord> &ports,
                                            PortNumber::Scheme scheme = PortNumber::kNativeScheme);

signals:
    // The device is back, at `port`; raised at every look that finds it,
    // until the waiting is stopped.
    void deviceBack(const PortNumber::NumberedPort &port);

private:
    void look();
    // Whether `port` is found again by its adapter's serial number, wherever
    // the system puts it, rather than by its path (a mapping is a path).
    static bool bySerialNumber(const PortNumber::NumberedPort &port);
    bool bySerialNumber() const { return m_port && bySerialNumber(*m_port); }
    // The system's part (replugwatch_unix.cpp, replugwatch_win.cpp).
    // Starts watching for the awaited device where a folder shows it.
    void watchForDevice();
    // What opening the awaited device uses now, or nothing while it is away.
    std::optional<QString> locate();
    // Watches `folder`, or the nearest folder above it that exists.
    void watchNearest(QString folder);

    // A link, told apart from one made anew at the same path.
    struct LinkIdentity {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 changedNs = 0;  // an inode number may be given again at once
        bool operator==(const LinkIdentity &) const = default;
    };
    // The identity of the link at path when it leads to a pseudo-terminal.
    static std::optional<LinkIdentity> ptyLink(const QString &path);

    PortDirectory m_ports;
    std::optional<PortNumber::NumberedPort> m_port;
    // The link to the vanished pseudo-terminal, while it is still there.
    std::optional<LinkIdentity> m_goneLink;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer m_poll;
    QTimer m_soon;
};
