#include "simserver.h"

#include "device.h"

#include <QSerialPort>
#include <QSocketNotifier>
#include <QtDebug>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

namespace {

// 9600 baud, 8N1: ten bit times a byte.
constexpr qint64 BytesPerSecond = 960;
constexpr int PaceTickMs = 10;
// How long to leave the pty alone after it reported a hangup.
constexpr int HangupPauseMs = 200;

}  // namespace

SimServer::SimServer(Device *device, Options options, QObject *parent)
    : QObject(parent), m_device(device), m_options(options) {
    m_pumpTimer.setSingleShot(true);
    connect(&m_pumpTimer, &QTimer::timeout, this, &SimServer::pump);
}

SimServer::~SimServer() {
    delete m_readNotifier;
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

QString SimServer::openPty(QString *error) {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        *error = QStringLiteral("cannot create a pseudo-terminal: %1").arg(qt_error_string(errno));
        return {};
    }
    // Raw at once, before anyone opens the slave: no echo, no CR/LF
    // translation, every byte passes as it is.
    termios tio{};
    ::tcgetattr(m_master, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(m_master, TCSANOW, &tio);

    const char *name = ::ptsname(m_master);
    if (!name) {
        *error = QStringLiteral("no name for the pseudo-terminal");
        return {};
    }
    const QString slavePath = QString::fromLocal8Bit(name);
    // Holding the slave ourselves keeps the master out of the hangup state
    // while no console has the port open; otherwise every read fails with EIO.
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_slave < 0) {
        *error = QStringLiteral("cannot open %1: %2").arg(slavePath, qt_error_string(errno));
        return {};
    }

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &SimServer::readPty);
    return slavePath;
}

bool SimServer::openSerial(const QString &name, QString *error) {
    m_serial = new QSerialPort(name, this);
    if (!m_serial->open(QIODevice::ReadWrite) || !m_serial->setBaudRate(9600) ||
        !m_serial->setDataBits(QSerialPort::Data8) || !m_serial->setParity(QSerialPort::NoParity) ||
        !m_serial->setStopBits(QSerialPort::OneStop) ||
        !m_serial->setFlowControl(QSerialPort::NoFlowControl)) {
        *error = QStringLiteral("cannot open %1: %2").arg(name, m_serial->errorString());
        return false;
    }
    connect(m_serial, &QSerialPort::readyRead, this, &SimServer::readSerial);
    return true;
}

void SimServer::readPty() {
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            handleInput(QByteArray(buf, n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        // EOF or EIO: nobody holds the slave. Normal between two consoles;
        // wait a little instead of being woken again at once.
        m_readNotifier->setEnabled(false);
        QTimer::singleShot(HangupPauseMs, this, [this] { m_readNotifier->setEnabled(true); });
        return;
    }
}

void SimServer::readSerial() {
    handleInput(m_serial->readAll());
}

void SimServer::handleInput(const QByteArray &bytes) {
    const QByteArray answer = m_device->receive(bytes);
    if (answer.isEmpty())
        return;
    if (m_out.isEmpty()) {
        m_paceClock.start();
        m_pacedBytes = 0;
    }
    m_out += answer;
    if (!m_pumpTimer.isActive())
        pump();
}

void SimServer::pump() {
    if (m_out.isEmpty())
        return;
    qint64 count = m_out.size();
    if (m_options.chunks)
        count = qMin<qint64>(count, m_random.bounded(1, 17));
    if (!m_options.fast) {
        // What the line could have carried since the reply began, one tick ahead.
        const qint64 budget =
            (m_paceClock.elapsed() + PaceTickMs) * BytesPerSecond / 1000 - m_pacedBytes;
        count = qMin(count, budget);
    }

    qint64 written = 0;
    if (count > 0) {
        written = writeOut(m_out.constData(), count);
        if (written < 0) {
            qWarning("kalvex-sim: write failed, reply dropped: %s",
                     qPrintable(qt_error_string(errno)));
            m_out.clear();
            return;
        }
        m_out.remove(0, written);
        m_pacedBytes += written;
    }
    if (m_out.isEmpty())
        return;

    // A short write means a full line (or pacing): come back in a tick.
    const bool gap = m_options.chunks && written == count;
    m_pumpTimer.start(gap ? m_random.bounded(0, 41) : PaceTickMs);
}

qint64 SimServer::writeOut(const char *data, qint64 size) {
    if (m_serial)
        return m_serial->write(data, size);
    for (;;) {
        const ssize_t n = ::write(m_master, data, size_t(size));
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        // A full pty buffer: the console has not read yet, try again later.
        // EIO: nobody holds the slave; cannot happen while we hold it.
        return errno == EAGAIN ? 0 : -1;
    }
}
