#include "mscomm.h"

#include "codepage.h"
#include "commerror.h"
#include "linklog.h"
#include "portnumber.h"
#include "replugwatch.h"

#include <QMetaObject>

#include <limits>

namespace {

// Room for received bytes kept from one chunk to the next: a flood's chunks
// are a few kilobytes.
constexpr qsizetype kKeptRoom = 256 * 1024;

void requireShortCount(int count, const char *what) {
    if (count < 0 || count > std::numeric_limits<qint16>::max())
        throw CommError(QStringLiteral("%1 %2: not 0 to %3")
                            .arg(QLatin1String(what))
                            .arg(count)
                            .arg(std::numeric_limits<qint16>::max()));
}

}  // namespace

MSComm::MSComm(PortDirectory ports, QObject *parent)
    : QObject(parent),
      m_ports(std::move(ports)),
      m_port(new QSerialPort(this)),
      m_replug(new ReplugWatch(m_ports, this)) {
    connect(m_port, &QSerialPort::readyRead, this, &MSComm::readArrived);
    connect(m_port, &QSerialPort::bytesWritten, this, &MSComm::bytesSent);
    connect(m_port, &QSerialPort::errorOccurred, this, &MSComm::portFailed);
    connect(m_replug, &ReplugWatch::deviceBack, this, &MSComm::deviceBack);
}

MSComm::~MSComm() {
    // Releases the device and its locks; no notification follows.
    m_port->disconnect(this);
    enter(State::Closed);
}

void MSComm::setCommPort(int number) {
    if (portOpen())
        throw CommError(QStringLiteral("port %1: open, its number cannot change").arg(m_commPort));
    if (number < PortNumber::kFirst || number > PortNumber::kLast)
        throw CommError(QStringLiteral("port %1: not a port number (%2 to %3)")
                            .arg(number)
                            .arg(PortNumber::kFirst)
                            .arg(PortNumber::kLast));
    m_commPort = number;
}

void MSComm::setSettings(const QString &text) {
    const LineSettings parsed = LineSettings::parse(text);
    if (portOpen()) {
        const bool applied =
            m_port->setBaudRate(parsed.baudRate) && m_port->setParity(parsed.parity) &&
            m_port->setDataBits(parsed.dataBits) && m_port->setStopBits(parsed.stopBits);
        if (!applied)
            throw CommError(m_where + QStringLiteral(": ") + m_port->errorString());
    }
    m_settings = parsed;
}

void MSComm::setRThreshold(int count) {
    requireShortCount(count, "receive threshold");
    m_rThreshold = count;
}

void MSComm::setSThreshold(int count) {
    requireShortCount(count, "send threshold");
    m_sThreshold = count;
}

void MSComm::setInputLen(int count) {
    requireShortCount(count, "input length");
    m_inputLen = count;
}

bool MSComm::portOpen() const {
    return m_state == State::Open || m_state == State::ClosingAfterFault;
}

std::optional<PortNumber::NumberedPort> MSComm::awaitedPort() const {
    return m_state == State::AwaitingDevice ? m_device : std::nullopt;
}

void MSComm::setPortOpen(bool open) {
    if (!open) {
        enter(State::Closed);
        return;
    }
    if (portOpen())
        throw CommError(QStringLiteral("port %1: already open").arg(m_commPort));
    openDevice(deviceToOpen());
    m_received.clear();
    enter(State::Open);
}

void MSComm::enter(State next) {
    m_state = next;
    switch (next) {
        case State::Closed:
            m_replug->stop();
            releasePort();
            break;
        case State::Open:
            m_replug->stop();
            break;
        case State::ClosingAfterFault:
            // The port's own code is still running below the failure that
            // brought us here: the port closes once control is back in the
            // event loop.
            QMetaObject::invokeMethod(this, &MSComm::closeAfterFault, Qt::QueuedConnection);
            break;
        case State::AwaitingDevice:
            releasePort();
            m_replug->start(*m_device);
            break;
    }
}

// The device an open of CommPort opens: while the device of that number is
// waited for, that device, if it is back; otherwise what the number names
// now, looked up afresh so that an adapter plugged in a moment ago is found.
PortNumber::NumberedPort MSComm::deviceToOpen() {
    if (m_state == State::AwaitingDevice && m_device->number == m_commPort) {
        const auto port = m_replug->find();
        if (!port)
            throw CommError(m_where + QStringLiteral(": the device has not come back"));
        return *port;
    }
    // Another number ends the waiting.
    enter(State::Closed);
    const auto port = m_ports.lookUp(m_commPort);
    if (!port)
        throw CommError(QStringLiteral("port %1: no serial port has this number").arg(m_commPort));
    return *port;
}

void MSComm::openDevice(const PortNumber::NumberedPort &port) {
    const QString &device = port.device;
    // Locks and Qt SerialPort are given the real device behind any symlink.
    const QString real = PortLocks::realDevice(device);
    const QString where =
        !real.isEmpty() && real != device
            ? QStringLiteral("port %1 (%2 -> %3)").arg(port.number).arg(device, real)
            : QStringLiteral("port %1 (%2)").arg(port.number).arg(device);
    m_lock.acquire(real, where);

    m_port->setPortName(m_lock.openPath());
    m_port->setBaudRate(m_settings.baudRate);
    m_port->setParity(m_settings.parity);
    m_port->setDataBits(m_settings.dataBits);
    m_port->setStopBits(m_settings.stopBits);
    m_port->setFlowControl(QSerialPort::NoFlowControl);

    // Qt SerialPort names its lock file after the path it opens and sets
    // TIOCEXCL. What fails here is reported by the open, not as a fault of
    // an open port (portFailed).
    if (!m_port->open(QIODevice::ReadWrite)) {
        const QString reason = m_port->errorString();
        m_port->clearError();
        m_lock.release();
        throw CommError(where + QStringLiteral(": ") + reason);
    }
    if (!m_lock.note().isEmpty())
        qCWarning(lcLink).noquote() << where + QStringLiteral(": ") + m_lock.note();
    m_device = port;
    m_where = where;
}

void MSComm::setOutput(const QString &text) {
    if (!portOpen())
        throw CommError(QStringLiteral("port %1: not open").arg(m_commPort));
    const QByteArray bytes = CodePage::encode(text);
    if (m_port->write(bytes) != bytes.size())
        throw CommError(
            QStringLiteral("port %1: write failed: %2").arg(m_commPort).arg(m_port->errorString()));
}

QString MSComm::input() {
    ReceivedText text;
    input(text);
    return text.toString();
}

void MSComm::input(ReceivedText &text) {
    if (m_inputLen == 0 || m_received.size() <= m_inputLen) {
        text.swap(m_received);
        // The room of the chunk before is kept, unless a stall made it large.
        if (m_received.capacity() > kKeptRoom)
            m_received = QByteArray();
        else
            m_received.truncate(0);
        return;
    }
    text = ReceivedText(m_received.first(m_inputLen));
    m_received.remove(0, m_inputLen);
}

int MSComm::inBufferCount() const {
    return int(qMin<qsizetype>(m_received.size(), std::numeric_limits<int>::max()));
}

void MSComm::raise(int code) {
    m_commEvent = code;
    emit onComm();
}

void MSComm::readArrived() {
    takeArrived();
    if (m_rThreshold > 0 && m_received.size() >= m_rThreshold)
        raise(ComEvReceive);
}

// What the port has read goes straight to the end of the received bytes:
// one copy, and no buffer of its own made and freed for every read.
void MSComm::takeArrived() {
    const qint64 waiting = m_port->bytesAvailable();
    if (waiting <= 0)
        return;
    const qsizetype at = m_received.size();
    m_received.resize(at + waiting);
    const qint64 read = m_port->read(m_received.data() + at, waiting);
    m_received.resize(at + qMax<qint64>(0, read));
}

void MSComm::bytesSent() {
    if (m_sThreshold > 0 && m_port->bytesToWrite() < m_sThreshold)
        raise(ComEvSend);
}

void MSComm::portFailed(QSerialPort::SerialPortError error) {
    // Outside Open and ClosingAfterFault the port is closed, or an open is
    // under way, which reports its own failure.
    if (error == QSerialPort::NoError || !portOpen())
        return;
    // A device that vanished (a pty whose other side closed, an adapter
    // pulled out) keeps reporting errors as fast as the port is polled.
    if (m_state == State::Open) {
        m_fault = m_port->errorString();
        enter(State::ClosingAfterFault);
    }
    m_port->clearError();
}

void MSComm::closeAfterFault() {
    if (m_state != State::ClosingAfterFault)
        return;
    // What arrived before the fault is delivered as a normal receive
    // notification while the port is still open, even below the threshold:
    // no more bytes will come to reach it.
    takeArrived();
    if (m_rThreshold > 0 && !m_received.isEmpty())
        raise(ComEvReceive);
    // The receive handler may have closed the port itself.
    if (m_state != State::ClosingAfterFault)
        return;
    const QString gone = m_where + QStringLiteral(": the device is gone");
    if (!ReplugWatch::canComeBack(*m_device)) {
        qCWarning(lcLink).noquote() << gone;
        enter(State::Closed);
    } else {
        qCWarning(lcLink).noquote() << gone + QStringLiteral("; waiting for it to come back");
        enter(State::AwaitingDevice);
    }
    emit deviceLost(gone + QStringLiteral(" (%1)").arg(m_fault));
}

void MSComm::deviceBack(const PortNumber::NumberedPort &port) {
    if (m_state != State::AwaitingDevice)
        return;
    try {
        openDevice(port);
    } catch (const CommError &e) {
        // Not yet (its permissions may come a moment after the node): the
        // next look tries again.
        qCDebug(lcLink).noquote() << e.reason();
        return;
    }
    enter(State::Open);
    qCInfo(lcLink).noquote() << m_where + QStringLiteral(": the device is back; reopened");
}

void MSComm::releasePort() {
    m_port->close();
    m_lock.release();
}
