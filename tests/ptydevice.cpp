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

void PtyDevice::mapToPort(int number) const {
    qputenv(qPrintable(PortNumber::mappingVariable(number)), m_slaveName.toLocal8Bit());
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
    : m_number(number), m_link(m_dir.filePath(QStringLiteral("port%1").arg(number))) {
    qputenv(qPrintable(PortNumber::mappingVariable(m_number)), QFile::encodeName(m_link));
    plugIn();
}

LinkedPty::~LinkedPty() {
    qunsetenv(qPrintable(PortNumber::mappingVariable(m_number)));
}

void LinkedPty::pullOut() {
    m_pty->closeSlave();
    m_pty->closeMaster();
}

bool LinkedPty::plugIn() {
    m_pty = std::make_unique<PtyDevice>();
    m_pty->closeSlave();
    QFile::remove(m_link);
    return m_pty->isValid() && QFile::link(m_pty->slaveName(), m_link);
}
