#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <memory>

#ifdef Q_OS_WIN
#include <QSerialPort>
#endif

// A port name with no device behind it, as a number mapped to an adapter
// that is not there names.
#ifdef Q_OS_WIN
inline const QString kAbsentPort = QStringLiteral("COM255");
#else
inline const QString kAbsentPort = QStringLiteral("/dev/kalvex-no-such-device");
#endif

// Whether this runs under Wine, which lets a second program open a COM port
// that one holds (Windows does not, nor Linux's TIOCEXCL): a refusal, or a
// release that makes a port free again, cannot be seen there.
bool runsUnderWine();

// The line as the console set it, seen from the device's side.
struct LineState {
    int outputBaud = 0;
    int inputBaud = 0;
    int dataBits = 0;
    bool parity = false;
    int stopBits = 0;
    bool rtsCts = false;
    bool xonXoff = false;
};

// A pseudo-terminal that plays the device: the console opens portName() as
// its serial port, and the test reads and writes the device's side.
//
// On Linux the pty is the test's own: the console opens its slave side, the
// test reads and writes the master side. The Windows build's tests run under
// Wine, where no Windows program can make a pty: the Linux side makes them
// (tests/wine/nullmodem.cpp) and joins two, like a null-modem cable, behind
// two COM ports. The console opens one (portName(), e.g. COM31); the test
// opens the other with QSerialPort and plays the device there.
class PtyDevice {
public:
    PtyDevice();
    ~PtyDevice();
    PtyDevice(const PtyDevice &) = delete;
    PtyDevice &operator=(const PtyDevice &) = delete;

    bool isValid() const;
    // What the console opens: /dev/pts/N, or COM<n> under Wine.
    QString portName() const;

    // Maps port number n to this device for the consoles started from now on
    // (RS232_PORT_<n>).
    void mapToPort(int number) const;

    // The line's settings as the console left them.
    LineState lineState() const;

    // The device sends these bytes; they are on the line when this returns.
    bool send(const QByteArray &bytes);

    // What the console has sent so far, without waiting.
    QByteArray readAvailable();

    // Reads until at least `count` bytes came or `timeoutMs` passed, running
    // the Qt event loop meanwhile so that the console can write.
    QByteArray readAtLeast(qsizetype count, int timeoutMs = 5000);

    // Lets the console's events run for a while and returns what it sent.
    QByteArray drain(int ms);

    // The device vanishes, as an adapter pulled out: the console's side of
    // the line hangs up.
    void pullOut();

#ifdef Q_OS_WIN
    // A new device at the same COM port, as one plugged in again: the
    // console's end gets a new pty, the test's end stays.
    bool plugIn();
#else
    QString slaveName() const {
        return m_slaveName;
    }
    int masterFd() const {
        return m_master;
    }
    int slaveFd() const {
        return m_slave;
    }

    // The device vanishes: the master side is closed.
    void closeMaster();

    // Closes the test's own handle on the slave side, so that only the
    // console holds it.
    void closeSlave();
#endif

private:
#ifdef Q_OS_WIN
    // Runs the event loop until `done` or `timeoutMs`; whether it is done.
    template <typename Done>
    bool waitFor(Done done, int timeoutMs);

    QString m_portName;
    QSerialPort m_device;
#else
    int m_master = -1;
    int m_slave = -1;
    QString m_slaveName;
#endif
};

// A device that can be pulled out and plugged in again under the same name,
// mapped to a port number: a pty behind a link in a folder of the test's own
// on Linux, a COM port under Wine.
class LinkedPty {
public:
    explicit LinkedPty(int number = 2);
    ~LinkedPty();

    bool isValid() const { return m_pty && m_pty->isValid(); }
    // The name that stays when the device goes: the link, or the COM port.
    QString portName() const { return m_portName; }
    PtyDevice &pty() { return *m_pty; }

    // The device goes, and its name is left leading nowhere.
    void pullOut();
    // A new device behind the same name; only the console will hold its
    // terminal side.
    bool plugIn();

private:
    int m_number;
#ifndef Q_OS_WIN
    QTemporaryDir m_dir;
#endif
    QString m_portName;
    std::unique_ptr<PtyDevice> m_pty;
};
