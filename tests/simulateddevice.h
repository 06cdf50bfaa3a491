#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#ifndef Q_OS_WIN
#include <QProcess>
#include <QTemporaryDir>
#endif

// The device simulator (kalvex-sim) playing the device on a port of its own:
// on Linux a program of the test's on a pty behind a link in a folder of its
// own; under Wine one that the Linux side runs behind a COM port
// (tests/wine/nullmodem.cpp).
class SimulatedDevice {
public:
    explicit SimulatedDevice(QStringList arguments);
    ~SimulatedDevice();
    SimulatedDevice(const SimulatedDevice &) = delete;
    SimulatedDevice &operator=(const SimulatedDevice &) = delete;

    // Starts it, and starts it again after kill(), at the same port; whether
    // it plays there now.
    bool start();
    // Pulled out: the simulator is killed, and its port leads nowhere.
    void kill();
    // What the console opens: the link, or COM<n>.
    QString portName() const { return m_portName; }

private:
    QStringList m_arguments;
#ifndef Q_OS_WIN
    QTemporaryDir m_dir;  // before the link's name, which is made in it
    QProcess m_process;
#endif
    QString m_portName;
};
