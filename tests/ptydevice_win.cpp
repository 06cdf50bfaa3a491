#include "ptydevice.h"

#include "nullmodemclient.h"
#include "portnumber.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <windows.h>

namespace {

// The longest a send may take: a flood's chunk through Wine on a busy
// machine.
constexpr int kSendMs = 60000;

}  // namespace

bool runsUnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

PtyDevice::PtyDevice() {
    const auto ends = NullModem::request(QStringLiteral("cable"));
    if (!ends || ends->size() != 2)
        return;
    m_portName = ends->at(0);
    m_device.setPortName(ends->at(1));
    if (!m_device.open(QIODevice::ReadWrite)) {
        qWarning("no device: %s: %s", qPrintable(ends->at(1)), qPrintable(m_device.errorString()));
        return;
    }
    NullModem::list(m_portName, true);
}

PtyDevice::~PtyDevice() {
    m_device.close();
    if (m_portName.isEmpty())
        return;
    NullModem::list(m_portName, false);
    NullModem::request(QStringLiteral("free ") + m_portName);
}

bool PtyDevice::isValid() const {
    return m_device.isOpen();
}

QString PtyDevice::portName() const {
    return m_portName;
}

void PtyDevice::mapToPort(int number) const {
    qputenv(qPrintable(PortNumber::mappingVariable(number)), m_portName.toLatin1());
}

LineState PtyDevice::lineState() const {
    const auto words = NullModem::request(QStringLiteral("line ") + m_portName);
    if (!words || words->size() != 7)
        return {};
    return {words->at(0).toInt(),
            words->at(1).toInt(),
            words->at(2).toInt(),
            words->at(3) == QLatin1String("1"),
            words->at(4).toInt(),
            words->at(5) == QLatin1String("1"),
            words->at(6) == QLatin1String("1")};
}

template <typename Done>
bool PtyDevice::waitFor(Done done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return false;
        // Woken by the device's port, or by a tick for the console's events.
        QEventLoop loop;
        QObject::connect(&m_device, &QSerialPort::readyRead, &loop, &QEventLoop::quit);
        QObject::connect(&m_device, &QSerialPort::bytesWritten, &loop, &QEventLoop::quit);
        QObject::connect(&m_device, &QSerialPort::errorOccurred, &loop, &QEventLoop::quit);
        QTimer::singleShot(int(qMin<qint64>(left, 10)), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

bool PtyDevice::send(const QByteArray &bytes) {
    if (!m_device.isOpen() || m_device.write(bytes) != bytes.size())
        return false;
    return waitFor([this] { return m_device.bytesToWrite() == 0; }, kSendMs);
}

QByteArray PtyDevice::readAvailable() {
    QCoreApplication::processEvents();
    return m_device.readAll();
}

QByteArray PtyDevice::readAtLeast(qsizetype count, int timeoutMs) {
    QByteArray out;
    waitFor(
        [&] {
            out += m_device.readAll();
            return out.size() >= count;
        },
        timeoutMs);
    return out;
}

QByteArray PtyDevice::drain(int ms) {
    waitFor([] { return false; }, ms);
    return m_device.readAll();
}

void PtyDevice::pullOut() {
    // Unlisted first, so that whoever lists the ports once the line hangs up
    // finds it gone.
    NullModem::list(m_portName, false);
    NullModem::request(QStringLiteral("pull ") + m_portName);
}

bool PtyDevice::plugIn() {
    // A new device knows nothing of what the old one was sent: the test's
    // end opens afresh, once the Linux side has emptied the line.
    const QString device = m_device.portName();
    m_device.close();
    if (!NullModem::request(QStringLiteral("plug ") + m_portName) ||
        !m_device.open(QIODevice::ReadWrite)) {
        qWarning("no device: %s: %s", qPrintable(device), qPrintable(m_device.errorString()));
        return false;
    }
    return NullModem::list(m_portName, true);
}

LinkedPty::LinkedPty(int number) : m_number(number), m_pty(std::make_unique<PtyDevice>()) {
    m_portName = m_pty->portName();
    m_pty->mapToPort(m_number);
}

LinkedPty::~LinkedPty() {
    qunsetenv(qPrintable(PortNumber::mappingVariable(m_number)));
}

void LinkedPty::pullOut() {
    m_pty->pullOut();
}

bool LinkedPty::plugIn() {
    return m_pty->plugIn();
}
