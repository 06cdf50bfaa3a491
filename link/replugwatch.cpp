#include "replugwatch.h"

#include <QFileSystemWatcher>

namespace {

// The slowest a look comes, and how long a folder's burst of changes (a
// node, then its permissions) is let settle before one.
constexpr int kPollMs = 1000;
constexpr int kSettleMs = 20;

}  // namespace

ReplugWatch::ReplugWatch(PortDirectory ports, QObject *parent)
    : QObject(parent), m_ports(std::move(ports)) {
    m_poll.setInterval(kPollMs);
    m_poll.setTimerType(Qt::CoarseTimer);
    m_soon.setInterval(kSettleMs);
    m_soon.setSingleShot(true);
    connect(&m_poll, &QTimer::timeout, this, &ReplugWatch::look);
    connect(&m_soon, &QTimer::timeout, this, &ReplugWatch::look);
}

bool ReplugWatch::canComeBack(const PortNumber::NumberedPort &port) {
    return !port.device.startsWith(QLatin1String("/dev/pts/"));
}

void ReplugWatch::start(const PortNumber::NumberedPort &port) {
    stop();
    m_port = port;
    m_goneLink = ptyLink(port.device);
    watchForDevice();
    m_poll.start();
}

void ReplugWatch::stop() {
    m_port.reset();
    m_goneLink.reset();
    m_poll.stop();
    m_soon.stop();
    delete m_watcher;
    m_watcher = nullptr;
}

void ReplugWatch::look() {
    if (const auto port = find())
        emit deviceBack(*port);
}

std::optional<PortNumber::NumberedPort> ReplugWatch::find() {
    if (!m_port)
        return std::nullopt;
    const auto path = locate();
    if (!path)
        return std::nullopt;
    PortNumber::NumberedPort now = *m_port;
    now.device = *path;
    return now;
}

std::optional<QString> ReplugWatch::findAmong(const PortNumber::NumberedPort &awaited,
                                              const QString &path,
                                              const QList<PortNumber::PortRecord> &ports,
                                              PortNumber::Scheme scheme) {
    const bool bySerial = bySerialNumber(awaited);
    const Qt::CaseSensitivity cs =
        scheme == PortNumber::Scheme::ComNumber ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (const PortNumber::PortRecord &p : ports) {
        if (p.phantom)
            continue;
        const bool same = bySerial ? p.serialNumber == awaited.port->serialNumber
                                   : PortNumber::deviceOf(p, scheme).compare(path, cs) == 0 ||
                                         p.systemLocation.compare(path, cs) == 0;
        if (same)
            return PortNumber::deviceOf(p, scheme);
    }
    return std::nullopt;
}

bool ReplugWatch::bySerialNumber(const PortNumber::NumberedPort &port) {
    return !port.mapped && port.port && !port.port->serialNumber.isEmpty();
}
