#include "ptydevice.h"

#include "portnumber.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <utility>

PtyDevice::PtyDevice() {
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    // Raw at once: the line discipline must not alter what the device sends
    // before the console configures the port.
    termios tio{};
    tcgetattr(m_master, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_master, TCSANOW, &tio);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slaveName = QString::fromLocal8Bit(name);
}

PtyDevice::~PtyDevice() {
    closeMaster();
    closeSlave();
}

bool runsUnderWine() {
    return false;
}

bool PtyDevice::isValid() const {
    return m_master >= 0;
}

QString PtyDevice::portName() const {
    return m_slaveName;
}

void PtyDevice::mapToPort(int number) const {
    qputenv(qPrintable(PortNumber::mappingVariable(number)), m_slaveName.toLocal8Bit());
}

LineState PtyDevice::lineState() const {
    termios tio{};
    if (tcgetattr(m_master, &tio) != 0)
        return {};
    static constexpr std::pair<speed_t, int> kBauds[] = {
        {B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
        {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    const auto baud = [](speed_t speed) {
        for (const auto &[code, bauds] : kBauds)
            if (code == speed)
                return bauds;
        return -1;
    };
    const tcflag_t size = tio.c_cflag & CSIZE;
    const int dataBits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
    return {baud(cfgetospeed(&tio)),
            baud(cfgetispeed(&tio)),
            dataBits,
            (tio.c_cflag & PARENB) != 0,
            (tio.c_cflag & CSTOPB) ? 2 : 1,
            (tio.c_cflag & CRTSCTS) != 0,
            (tio.c_iflag & (IXON | IXOFF)) != 0};
}

bool PtyDevice::send(const QByteArray &bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        // The pty's buffer is full: let the console read some.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p{m_master, POLLOUT, 0};
        ::poll(&p, 1, 5);
    }
    return true;
}

QByteArray PtyDevice::readAvailable() {
    QByteArray out;
    if (m_master < 0)
        return out;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, n);
    }
    return out;
}

QByteArray PtyDevice::readAtLeast(qsizetype count, int timeoutMs) {
    QByteArray out;
    QDeadlineTimer deadline(timeoutMs);
    while (out.size() < count && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p{m_master, POLLIN, 0};
        ::poll(&p, 1, 5);
        out += readAvailable();
    }
    return out;
}

QByteArray PtyDevice::drain(int ms) {
    QByteArray out;
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p{m_master, POLLIN, 0};
        ::poll(&p, 1, 5);
        out += readAvailable();
    }
    return out;
}

void PtyDevice::pullOut() {
    closeSlave();
    closeMaster();
}

void PtyDevice::closeMaster() {
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void PtyDevice::closeSlave() {
    if (m_slave >= 0)
        ::close(m_slave);
    m_slave = -1;
}

LinkedPty::LinkedPty(int number)
    : m_number(number), m_portName(m_dir.filePath(QStringLiteral("port%1").arg(number))) {
    qputenv(qPrintable(PortNumber::mappingVariable(m_number)), QFile::encodeName(m_portName));
    plugIn();
}

LinkedPty::~LinkedPty() {
    qunsetenv(qPrintable(PortNumber::mappingVariable(m_number)));
}

void LinkedPty::pullOut() {
    m_pty->pullOut();
}

bool LinkedPty::plugIn() {
    m_pty = std::make_unique<PtyDevice>();
    m_pty->closeSlave();
    QFile::remove(m_portName);
    return m_pty->isValid() && QFile::link(m_pty->slaveName(), m_portName);
}
