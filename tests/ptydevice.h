#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// A pseudo-terminal that plays the device: the console opens the slave side
// as its serial port, the test reads and writes the master side.
class PtyDevice {
public:
    PtyDevice();
    ~PtyDevice();
    PtyDevice(const PtyDevice &) = delete;
    PtyDevice &operator=(const PtyDevice &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slaveName() const { return m_slaveName; }
    int masterFd() const { return m_master; }
    int slaveFd() const { return m_slave; }

    // Maps port number n to this pty for the consoles started from now on
    // (RS232_PORT_<n>).
    void mapToPort(int number) const;

    // The device sends these bytes.
    bool send(const QByteArray &bytes);

    // What the console has sent so far, without waiting.
    QByteArray readAvailable();

    // Reads until at least `count` bytes came or `timeoutMs` passed, running
    // the Qt event loop meanwhile so that the console can write.
    QByteArray readAtLeast(qsizetype count, int timeoutMs = 5000);

    // Lets the console's events run for a while and returns what it sent.
    QByteArray drain(int ms);

    // The device vanishes: the master side is closed.
    void closeMaster();

    // Closes the test's own handle on the slave side, so that only the
    // console holds it.
    void closeSlave();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slaveName;
};

// A pty behind a link in a folder of the test's own, the link mapped to a
// port number, so that one device can go and another come at the same path.
class LinkedPty {
public:
    explicit LinkedPty(int number = 2);
    ~LinkedPty();

    bool isValid() const { return m_pty && m_pty->isValid(); }
    QString link() const { return m_link; }
    PtyDevice &pty() { return *m_pty; }

    // The device goes, and its link is left leading nowhere.
    void pullOut();
    // A new device behind the same link; only the console will hold its
    // terminal side.
    bool plugIn();

private:
    int m_number;
    QTemporaryDir m_dir;
    QString m_link;
    std::unique_ptr<PtyDevice> m_pty;
};
